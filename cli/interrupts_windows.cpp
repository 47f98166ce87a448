// On Windows the console's control events stand for the signals: Ctrl-C and
// Ctrl-Break, and the console window closing or the user logging off.
#include <csignal>

#include "interrupts.h"
#include "stop.h"
#include "win32.h"

namespace cli {
namespace {

constexpr int kConsoleClosed = 1;  // reported as SIGHUP is on POSIX

BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: platform::RequestStop(SIGINT); return TRUE;
    case CTRL_BREAK_EVENT: platform::RequestStop(SIGBREAK); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: platform::RequestStop(kConsoleClosed); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void HandleInterrupts() {
  platform::PrepareStop();
  SetConsoleCtrlHandler(OnControl, TRUE);
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "Ctrl-C";
    case SIGBREAK: return "Ctrl-Break";
    case kConsoleClosed: return "the console closing";
    default: return "a signal";
  }
}

// A console program has no signal to die by: the status says it instead.
int ExitBySignal(int signal) { return 128 + signal; }

}  // namespace cli
