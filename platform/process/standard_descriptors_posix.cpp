#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "standard_descriptors.h"

namespace platform {

void OpenClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free number is this one, since the ones below are open.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

}  // namespace platform
