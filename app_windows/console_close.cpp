#include "console_close.h"

#include <atomic>

namespace {

// Windows ends the process once the handler returns from a closing console,
// and allows it five seconds: it waits there, up to four, for the window's
// close. The handler runs on a thread of Windows' own, hence the atomics.
constexpr DWORD kCloseWaitMs = 4000;
std::atomic<HWND> watchedWindow = nullptr;
std::atomic<HANDLE> finished = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_CLOSE_EVENT) return FALSE;  // Ctrl-C and Ctrl-Break: the default, ignored by a window
  const HWND window = watchedWindow.load();
  if (window == nullptr || !PostMessageA(window, WM_CLOSE, 0, 0)) return FALSE;
  if (const HANDLE done = finished.load()) WaitForSingleObject(done, kCloseWaitMs);
  return TRUE;
}

}  // namespace

TCloseWithConsole::TCloseWithConsole(HWND window) {
  if (GetConsoleWindow() == nullptr) return;  // started without a console
  finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  watchedWindow = window;
  watching_ = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
}

// The event stays open: a handler may still wait on it, and the process
// ends right after, which closes it.
TCloseWithConsole::~TCloseWithConsole() {
  if (watching_) SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  watchedWindow = nullptr;
  if (const HANDLE done = finished.load()) SetEvent(done);
}
