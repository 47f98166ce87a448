#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "append_file.h"

namespace platform {

void AppendFile::Close() {
  if (native_ != kClosed) ::close(static_cast<int>(native_));
  native_ = kClosed;
}

AppendFile AppendFile::OpenExclusive(const std::string& path) {
  AppendFile file;
  file.state_ = State::Failed;
  // O_APPEND: every write lands at the end, nothing is ever truncated.
  // O_NONBLOCK: a pipe nobody reads fails the open (ENXIO) instead of holding
  // the run for ever; once open, writes block as usual.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    file.problem_ = errno;
    return file;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fcntl(fd, F_SETFL, O_APPEND) != 0) {
    file.problem_ = errno;
    ::close(fd);
    return file;
  }
  file.native_ = fd;
  file.state_ = State::Open;
  return file;
}

bool AppendFile::Write(std::string_view data) {
  if (native_ == kClosed) return false;
  while (!data.empty()) {
    const ssize_t n = ::write(static_cast<int>(native_), data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (problem_ == 0) problem_ = n < 0 ? errno : EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace platform
