// A Windows console sets no TERM and draws colour codes only once virtual
// terminal processing is on; a console that will not take it gets plain lines.
#include <cstdlib>
#include <cstring>
#include <io.h>

#include "terminal_output.h"
#include "win32.h"

namespace cli {

bool TerminalTakesStyle(int fd) {
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::strcmp(term, "dumb") == 0) return false;
  if (_isatty(fd) == 0) return false;
  const HANDLE console = GetStdHandle(fd == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
  return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

TerminalSize TerminalSizeOf(int fd) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const HANDLE console = GetStdHandle(fd == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (!GetConsoleScreenBufferInfo(console, &info)) return {};
  return {info.srWindow.Bottom - info.srWindow.Top + 1, info.srWindow.Right - info.srWindow.Left + 1};
}

void UseUtf8Terminal() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace cli
