// The window started from a console closes with it, as the Qt window does on
// SIGHUP: the run stopped or finished, the choices saved. Ctrl-C in that
// console is left alone: it is meant for whatever the console runs now.
#pragma once

#include "win32.h"

class TCloseWithConsole {
 public:
  // Watches the console the program was started from, if any; `window`
  // gets WM_CLOSE when it closes.
  explicit TCloseWithConsole(HWND window);
  // Tells a waiting handler that the window has finished; stops watching.
  ~TCloseWithConsole();
  TCloseWithConsole(const TCloseWithConsole&) = delete;
  TCloseWithConsole& operator=(const TCloseWithConsole&) = delete;

 private:
  bool watching_ = false;
};
