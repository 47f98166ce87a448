// What the window's behaviour asks of a window, whatever its toolkit: the
// run's status line, progress bar and reset-delay box, the choices, the mode
// buttons, the keyboard focus, the status line's tool tip and the close.
#pragma once

#include <string>

#include "Usb_corvaneinterface.h"

namespace window_core {

class TWindowView : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  // The port list's item whose text is shown; -1 when the text is no item's.
  virtual int PortIndex() const = 0;
  // The first four characters of the frequency box's text ("3.58").
  virtual std::string ClockText() const = 0;
  virtual void EnableModeButtons(bool enabled) = 0;
  // The controls whose keyboard focus a run moves, and the rest.
  enum class TFocus { Other, CorvaneButton, SmartMouseButton, Status };
  virtual TFocus Focused() const = 0;
  virtual void Focus(TFocus control) = 0;
  virtual void SetStatusTip(const std::string& tip) = 0;
  // Asks the window to close, as its close box does.
  virtual void Close() = 0;
};

}  // namespace window_core
