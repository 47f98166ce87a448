// The window's behaviour between its controls, the run and the stored
// settings: the start applies the stored choices, a mode button starts a run
// with the choices shown, the buttons and the focus wait for its end, a close
// during the run stops or waits for it, the close stores the choices, and an
// error is shown the one way.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "window_view.h"

namespace window_core {

inline constexpr int kCardTries = 30;      // seconds the window waits for the card
inline constexpr unsigned kPortCount = 16;  // "Com1" ... "COM16"
// The device maker's site, which the picture and the link open.
inline constexpr const char* kWebAddress = "https://www.veltra-software.example/";

class TWindowLogic {
 public:
  explicit TWindowLogic(TWindowView& view) : view_(view) {}
  // The run no longer reaches the window.
  ~TWindowLogic();
  TWindowLogic(const TWindowLogic&) = delete;
  TWindowLogic& operator=(const TWindowLogic&) = delete;

  // Applies the stored settings, each at once in reading order, then gives
  // the run the window and switches its traffic log off (--trace starts one
  // of its own). Throws ERegistryException, after the values before it, for
  // a value that cannot be read: the window is then not shown and the
  // program ends with 1.
  void Start();
  // The toolkit's notice that the user chose a port item.
  void PortChosen(int index) { chosenPort_ = index; }
  void RunMode(const std::string& modeName);
  // False when the close must wait for the run's end; the window closes then.
  bool MayClose();
  // Any close (close box, keyboard, a signal, the session's end). False while
  // the run must end first: the window then closes at the run's end.
  // Otherwise the choices are stored (a failed save is said) and the window
  // finishes.
  bool CloseQuery();
  // An exception that reached a handler, shown as every error is shown; the
  // message loop goes on.
  template <typename Handler>
  void Guarded(Handler handler) {
    try {
      handler();
    } catch (const std::exception& error) {
      ShowError(error.what());
    } catch (...) {
      ShowError("");
    }
  }
  void ShowError(const std::string& message);
  // The item of the list whose text is shown; -1 when the text is no item's.
  int ItemIndex(TWindowView::TList list) const;

 private:
  TWindowView& view_;
  bool closePending_ = false;
  int chosenPort_ = 0;
};

// The error box's caption: the program file's name without its folder and
// everything from its first ".", every letter after the first in lower case.
std::string ApplicationTitle(const std::string& programPath);
// The caption from this program's own file.
std::string ErrorBoxCaption();
// The message as the error box shows it: a "." is appended when the last
// character sorts after ".".
std::string TopLevelMessage(const std::string& message);

// The tool tip of each port item: the device its number opens on this
// machine, the adapter it waits for, or why it opens nothing.
std::vector<std::string> PortTips(unsigned count = kPortCount);
// The port box's own tip: what the item shown opens.
std::string PortTip(int index);

}  // namespace window_core
