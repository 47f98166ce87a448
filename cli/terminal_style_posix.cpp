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

int TerminalRows(int fd) {
  winsize size{};
  return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_row : 0;
}

// The locale says how the terminal shows UTF-8; nothing to switch here.
void UseUtf8Terminal() {}

}  // namespace cli
