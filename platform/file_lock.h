// An exclusive lock between processes on a lock file beside the data it
// guards. The kernel drops it when its holder dies, so a crash never leaves a
// stale lock behind.
#pragma once

#include <string>

namespace platform {

class FileLock {
 public:
  enum class Result { Locked, Refused, TimedOut };

  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Creates the lock file when missing and waits up to `waitMs` for the lock.
  Result Acquire(const std::string& path, int waitMs);

 private:
  int fd_ = -1;
};

}  // namespace platform
