// The interface at the far end of a pseudo-terminal, for tests and the bench
// against the real kernel: the kernel's own calls pass through the seam, and
// the device answers what the program does on its side of the line. A pty
// cannot carry a break, so the answer to the break comes when it is cleared.
// The line can be hung up (the master closed) at any step.
#pragma once

#include <sys/ioctl.h>

#include <optional>
#include <string>
#include <vector>

#include "pty_pair.h"
#include "system_calls.h"

namespace testing_support {

class PtyDevice : public platform::comm::SystemCalls {
 public:
  explicit PtyDevice(PtyPair& pty) : pty_(pty) {}

  // The step at which the line goes: "entry" (while the break is held) or a
  // command's first two bytes ("2A 41").
  std::optional<std::string> hangUpAt;
  bool silent = false;

  int Open(const char* path, int flags) override {
    const int fd = SystemCalls::Open(path, flags);
    if (fd >= 0 && path == pty_.slavePath()) fd_ = fd;
    return fd;
  }

  int Ioctl(int fd, unsigned long request, void* argument) override {
    const int result = SystemCalls::Ioctl(fd, request, argument);
    if (fd == fd_ && result == 0) {
      if (request == TIOCSBRK && hangUpAt == "entry") pty_.CloseMaster();
      if (request == TIOCCBRK) Answer({0x06});
    }
    return result;
  }

  ssize_t Write(int fd, const void* data, size_t size) override {
    const ssize_t written = SystemCalls::Write(fd, data, size);
    if (fd != fd_ || written < 2) return written;
    const auto* bytes = static_cast<const unsigned char*>(data);
    static const char kDigits[] = "0123456789ABCDEF";
    const std::string command = {kDigits[bytes[0] >> 4], kDigits[bytes[0] & 15], ' ', kDigits[bytes[1] >> 4],
                                 kDigits[bytes[1] & 15]};
    if (hangUpAt == command) {
      pty_.CloseMaster();
      return written;
    }
    std::vector<unsigned char> reply(bytes, bytes + written);
    if (command == "2A 41") reply.insert(reply.end(), {0x00, 0x01, 0x10});
    reply.push_back(0x06);
    Answer(reply);
    return written;
  }

 private:
  void Answer(const std::vector<unsigned char>& bytes) {
    if (!silent && pty_.masterFd() >= 0) pty_.Send(bytes);
  }

  PtyPair& pty_;
  int fd_ = -1;
};

}  // namespace testing_support
