// Preloaded into a program under test (LD_PRELOAD), native or Wine: reports
// the break it sets and clears on pseudo-terminals, which carry no break of
// their own, to the simulated interfaces at the far end (pty_interface).
//   PTY_BREAK_DEVICE  the slaves' paths, separated by ':'
//   PTY_BREAK_FIFO    where "1PATH\n" (break set) and "0PATH\n" (cleared) are
//                     written, each line at once, whichever process writes
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <string>

namespace {

// The watched path that `fd` is open on; empty when none.
std::string WatchedLine(int fd) {
  const char* devices = getenv("PTY_BREAK_DEVICE");
  struct stat line {};
  if (devices == nullptr || fstat(fd, &line) != 0 || !S_ISCHR(line.st_mode)) return "";
  std::string list = devices;
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t end = std::min(list.find(':', start), list.size());
    const std::string device = list.substr(start, end - start);
    struct stat watched {};
    if (stat(device.c_str(), &watched) == 0 && line.st_rdev == watched.st_rdev) return device;
    start = end + 1;
  }
  return "";
}

void Report(char state, const std::string& device) {
  const char* fifo = getenv("PTY_BREAK_FIFO");
  if (fifo == nullptr) return;
  const int fd = open(fifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  const std::string message = state + device + "\n";  // under PIPE_BUF: never mixed with another's
  if (write(fd, message.data(), message.size()) != static_cast<ssize_t>(message.size())) {
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
  if (result == 0 && (request == TIOCSBRK || request == TIOCCBRK)) {
    if (const std::string device = WatchedLine(fd); !device.empty()) Report(request == TIOCSBRK ? '1' : '0', device);
  }
  return result;
}
