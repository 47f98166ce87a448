#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "file_lock.h"

namespace platform {

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

FileLock::Result FileLock::Acquire(const std::string& path, int waitMs) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Result::Refused;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return Result::Locked;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return Result::TimedOut;
    }
    // Holders keep the lock for milliseconds; poll briefly.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::close(fd);
  return Result::Refused;
}

}  // namespace platform
