// A pseudo-terminal pair: the slave path stands in for a serial device, the
// test talks to it through the master side.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

class PtyPair {
 public:
  PtyPair() {
    // Not inherited: a program the test starts must not hold the line up.
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      const char* name = ptsname(master_);
      if (name != nullptr) slavePath_ = name;
    }
  }
  ~PtyPair() {
    if (master_ >= 0) close(master_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int masterFd() const { return master_; }
  // As an adapter unplugged: the slave side is hung up.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  bool ok() const { return !slavePath_.empty(); }
  const std::string& slavePath() const { return slavePath_; }

  bool Send(const std::vector<unsigned char>& bytes) {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Whatever the slave side wrote within `wait`.
  std::vector<unsigned char> Receive(std::size_t count, std::chrono::milliseconds wait) {
    std::vector<unsigned char> got;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
      unsigned char buffer[256];
      const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace testing_support
