// Preloaded into a program under test (LD_PRELOAD), native or Wine: reports
// the break it sets and clears on one pseudo-terminal, which carries no break
// of its own, to the simulated interface at the far end (pty_interface).
//   PTY_BREAK_DEVICE  the slave's path
//   PTY_BREAK_FIFO    where '1' (break set) and '0' (cleared) are written
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>

namespace {

bool IsWatchedLine(int fd) {
  const char* device = getenv("PTY_BREAK_DEVICE");
  struct stat watched {};
  struct stat line {};
  return device != nullptr && stat(device, &watched) == 0 && fstat(fd, &line) == 0 &&
         S_ISCHR(line.st_mode) && line.st_rdev == watched.st_rdev;
}

void Report(char state) {
  const char* fifo = getenv("PTY_BREAK_FIFO");
  if (fifo == nullptr) return;
  const int fd = open(fifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  if (write(fd, &state, 1) != 1) {
    // The interface is gone; the run finds out on the line itself.
  }
  close(fd);
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  using Ioctl = int (*)(int, unsigned long, void*);
  static const auto real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  const int result = real(fd, request, argument);
  if (result == 0 && (request == TIOCSBRK || request == TIOCCBRK) && IsWatchedLine(fd)) {
    Report(request == TIOCSBRK ? '1' : '0');
  }
  return result;
}
