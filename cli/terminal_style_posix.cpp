#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

#include "terminal_output.h"

namespace cli {

bool TerminalTakesStyle(int fd) {
  const char* term = std::getenv("TERM");
  if (term == nullptr || std::strcmp(term, "dumb") == 0) return false;
  return isatty(fd) != 0;
}

TerminalSize TerminalSizeOf(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0) return {};
  return {size.ws_row, size.ws_col};
}

// The locale says how the terminal shows UTF-8; nothing to switch here.
void UseUtf8Terminal() {}

}  // namespace cli
