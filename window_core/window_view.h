// What the window's behaviour asks of a window, whatever its toolkit: the
// run's status line, progress bar and reset-delay box, the two lists, the
// mode buttons, the keyboard focus, the status line's tool tip, the place,
// the error box and the close. Each call is one toolkit call or a few; every
// rule is the behaviour's (window_logic.h).
#pragma once

#include <optional>
#include <string>

#include "Usb_corvaneinterface.h"
#include "window_place.h"

namespace window_core {

class TWindowView : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  enum class TList { Port, Frequency };
  // The text the list shows, typed or an item's.
  virtual std::string ShownText(TList list) const = 0;
  // The item whose text is `text`, case and all; -1 for none.
  virtual int FindItem(TList list, const std::string& text) const = 0;
  // Shows item `index`; an index naming no item leaves none selected, the text empty.
  virtual void SelectItem(TList list, int index) = 0;
  virtual void SetTicked(bool ticked) = 0;
  virtual void EnableModeButtons(bool enabled) = 0;
  // The controls whose keyboard focus a run moves, and the rest.
  enum class TFocus { Other, CorvaneButton, SmartMouseButton, Status };
  virtual TFocus Focused() const = 0;
  virtual void Focus(TFocus control) = 0;
  virtual void SetStatusTip(const std::string& tip) = 0;
  // The stored edges: an edge not stored stays where the desktop puts the
  // window; a place the user could not reach moves onto the nearest screen.
  virtual void PlaceAt(std::optional<int> left, std::optional<int> top) = 0;
  // Where the window stands when neither minimised nor maximised; none where
  // the desktop does not tell a window where it stands (Wayland).
  virtual std::optional<TPoint> NormalPlace() const = 0;
  virtual void ShowErrorBox(const std::string& caption, const std::string& text) = 0;
  // Asks the window to close, as its close box does.
  virtual void Close() = 0;
  // The close is done: the window goes and the program ends.
  virtual void Finish() = 0;
};

}  // namespace window_core
