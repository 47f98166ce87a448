// The kernel's side of a serial device, standing in the system-call seam: the
// termios settings, modem lines, break, locks and byte queues the device code
// works through, with the emulator as the interface at the far end of the
// line. Every call is recorded; any call can fail with a chosen errno; and
// the line can hang up the ways the kernel's lines do. Runs in virtual time.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "comm_device.h"
#include "corvane_emulator.h"
#include "hex.h"
#include "stop.h"
#include "system_calls.h"

namespace testing_support {

class FakeTty : public platform::comm::SystemCalls {
 public:
  static constexpr const char* kPath = "/fake/ttyUSB0";
  static constexpr int kFd = 900;

  // How a line that has hung up behaves.
  enum class HangUp {
    Kernel,       // an unplugged USB adapter: poll says POLLHUP, reads end-of-file, the rest EIO
    OtherClosed,  // a pseudo-terminal whose master closed: poll says POLLHUP, reads and the rest EIO
    EndOfFile,    // only a readable line that yields 0 bytes tells
  };

  explicit FakeTty(std::shared_ptr<emulator::CorvaneEmulator> device) : device_(std::move(device)) {
    termios_.c_cflag = CS8 | CREAD | HUPCL;
    termios_.c_lflag = ICANON | ECHO | ISIG;
    termios_.c_oflag = OPOST;
    cfsetospeed(&termios_, B38400);
    cfsetispeed(&termios_, B38400);
    settingsAtOpen = termios_;
  }

  // --- what a test arranges
  // The call ("open", "tcgetattr", "ioctl TIOCMBIS", "write", ...) fails with `error`.
  void FailCall(const std::string& call, int error) { failures_[call] = error; }
  // The line hangs up right after the call for which `when` is true.
  void HangUpAfter(std::function<bool(const std::string& call)> when, HangUp how) {
    hangUpWhen_ = std::move(when);
    hangUpHow_ = how;
  }
  struct stat deviceStat{};  // what stat() says of kPath; a tty of group 20 by default
  std::map<gid_t, std::string> groupNames{{0, "root"}, {20, "dialout"}};
  bool processInGroup = false;
  bool userListedInGroup = false;

  // --- what a test observes
  std::vector<std::string> calls;  // "open", "ioctl TIOCSBRK", "write 2A 41", ...
  termios termios_{};
  termios settingsAtOpen{};
  int modemLines = TIOCM_DTR | TIOCM_RTS;  // as a port is when opened
  int lookCount = 0;                       // polls and reads: how often the line was looked at
  int openFds = 0;
  std::vector<int> flockOperations;
  bool breakOn = false;

  int Open(const char* path, int flags) override {
    if (std::string(path) != kPath) return SystemCalls::Open(path, flags);
    if (Failing("open")) return -1;
    connection_ = device_->Open();
    if (!connection_) {
      errno = ENOENT;
      return -1;
    }
    // Reads take what is waiting now; waits are done by Poll.
    COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
    connection_->SetTimeouts(atOnce);
    ++openFds;
    return Record("open", kFd);
  }

  int Close(int fd) override {
    if (fd != kFd) return SystemCalls::Close(fd);
    connection_.reset();
    --openFds;
    return Record("close", 0);
  }

  int Stat(const char* path, struct stat* info) override {
    if (std::string(path) != kPath) return SystemCalls::Stat(path, info);
    if (Failing("stat")) return -1;
    *info = deviceStat;
    if (info->st_mode == 0) {
      info->st_mode = S_IFCHR | 0660;
      info->st_gid = 20;
      info->st_rdev = makedev(511, 99);  // no process on the machine holds this one
    }
    return 0;
  }

  std::optional<std::string> UserName(uid_t user) override {
    return user == 0 ? std::optional<std::string>("root") : std::nullopt;
  }
  std::optional<std::string> GroupName(gid_t group) override {
    const auto found = groupNames.find(group);
    return found == groupNames.end() ? std::nullopt : std::optional<std::string>(found->second);
  }
  bool ProcessInGroup(gid_t) override { return processInGroup; }
  bool UserListedInGroup(gid_t) override { return userListedInGroup; }

  int Fstat(int fd, struct stat* info) override { return fd == kFd ? Stat(kPath, info) : SystemCalls::Fstat(fd, info); }

  int TcGetAttr(int fd, termios* settings) override {
    if (fd != kFd) return SystemCalls::TcGetAttr(fd, settings);
    if (Failing("tcgetattr")) return -1;
    *settings = termios_;
    return Record("tcgetattr", 0);
  }

  int TcSetAttr(int fd, int when, const termios* settings) override {
    if (fd != kFd) return SystemCalls::TcSetAttr(fd, when, settings);
    if (Failing("tcsetattr")) return -1;
    termios_ = *settings;
    return Record("tcsetattr", 0);
  }

  int TcFlush(int fd, int queue) override {
    if (fd != kFd) return SystemCalls::TcFlush(fd, queue);
    if (Failing("tcflush")) return -1;
    return Record(queue == TCIOFLUSH ? "tcflush both" : "tcflush", 0);
  }

  int Flock(int fd, int operation) override {
    if (fd != kFd) return SystemCalls::Flock(fd, operation);
    if (Failing("flock")) return -1;
    flockOperations.push_back(operation);
    return Record("flock", 0);
  }

  int Ioctl(int fd, unsigned long request, void* argument) override {
    if (fd != kFd) return SystemCalls::Ioctl(fd, request, argument);
    const std::string call = "ioctl " + RequestName(request);
    if (Failing(call)) return -1;
    switch (request) {
      case TIOCSBRK:
      case TIOCCBRK:
        breakOn = request == TIOCSBRK;
        connection_->SetBreak(breakOn);
        break;
      case TIOCMGET: {
        DWORD status = 0;
        connection_->GetModemStatus(status);
        int lines = modemLines;
        if ((status & MS_CTS_ON) != 0) lines |= TIOCM_CTS;
        if ((status & MS_DSR_ON) != 0) lines |= TIOCM_DSR;
        if ((status & MS_RING_ON) != 0) lines |= TIOCM_RI;
        if ((status & MS_RLSD_ON) != 0) lines |= TIOCM_CD;
        *static_cast<int*>(argument) = lines;
        break;
      }
      case TIOCMBIS: modemLines |= *static_cast<int*>(argument); break;
      case TIOCMBIC: modemLines &= ~*static_cast<int*>(argument); break;
      default: break;
    }
    return Record(call, 0);
  }

  ssize_t Write(int fd, const void* data, size_t size) override {
    if (fd != kFd) return SystemCalls::Write(fd, data, size);
    std::string call = "write";
    for (size_t i = 0; i < size; ++i) {
      call += ' ';
      platform::AppendHexByte(call, static_cast<const BYTE*>(data)[i]);
    }
    if (Failing("write")) return -1;
    DWORD written = 0;
    connection_->Write(static_cast<const BYTE*>(data), static_cast<DWORD>(size), written);
    return Record(call, static_cast<ssize_t>(written));
  }

  ssize_t Read(int fd, void* data, size_t size) override {
    if (fd != kFd) return SystemCalls::Read(fd, data, size);
    ++lookCount;
    if (hungUp_) {
      TakeTime();
      if (hangUpHow_ == HangUp::OtherClosed) {
        errno = EIO;
        return -1;
      }
      return 0;
    }
    if (Failing("read")) return -1;
    Pull(Millis(0));
    if (waiting_.empty()) {
      errno = EAGAIN;
      return -1;
    }
    const size_t n = std::min(size, waiting_.size());
    std::copy_n(waiting_.begin(), n, static_cast<BYTE*>(data));
    waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<ssize_t>(n);
  }

  // The line is ready when the emulator has a byte, or always for writing;
  // otherwise virtual time passes until a byte comes or the time-out does.
  int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    if (count == 0 || fds[0].fd != kFd) return SystemCalls::Poll(fds, count, timeoutMs);
    ++lookCount;
    for (nfds_t i = 0; i < count; ++i) fds[i].revents = 0;
    auto wake = [&] {
      if (count > 1 && platform::StopRequested()) fds[1].revents = POLLIN;
      return fds[0].revents != 0 || (count > 1 && fds[1].revents != 0) ? 1 : 0;
    };
    if (hungUp_) {
      TakeTime();
      if (hangUpHow_ == HangUp::Kernel) fds[0].revents = POLLIN | POLLOUT | POLLHUP | POLLERR;
      if (hangUpHow_ == HangUp::OtherClosed) fds[0].revents = POLLHUP;
      if (hangUpHow_ == HangUp::EndOfFile) fds[0].revents = fds[0].events;
      return wake();
    }
    if (Failing("poll")) return -1;
    if ((fds[0].events & POLLOUT) != 0) {
      fds[0].revents = POLLOUT;
      return wake();
    }
    Pull(timeoutMs < 0 ? Millis(3'600'000) : Millis(timeoutMs));
    if (!waiting_.empty()) fds[0].revents = POLLIN;
    return wake();
  }

 private:
  using Millis = std::chrono::milliseconds;

  static std::string RequestName(unsigned long request) {
    switch (request) {
      case TIOCSBRK: return "TIOCSBRK";
      case TIOCCBRK: return "TIOCCBRK";
      case TIOCMGET: return "TIOCMGET";
      case TIOCMBIS: return "TIOCMBIS";
      case TIOCMBIC: return "TIOCMBIC";
      case TIOCEXCL: return "TIOCEXCL";
      case TIOCNXCL: return "TIOCNXCL";
      default: return std::to_string(request);
    }
  }

  // A call on a dead line returns at once but is not free: a host that spins
  // on one sees time pass (and the test sees it looking again and again).
  static void TakeTime() { platform::CurrentClock().SleepUntil(platform::CurrentClock().Now() + Millis(1)); }

  // Fails the call when a test asked for it, or when the line has hung up.
  bool Failing(const std::string& call) {
    if (hungUp_ && hangUpHow_ != HangUp::EndOfFile && call != "close") {
      errno = EIO;
      calls.push_back(call + " failed");
      return true;
    }
    const auto found = failures_.find(call);
    if (found == failures_.end()) return false;
    errno = found->second;
    calls.push_back(call + " failed");
    return true;
  }

  template <typename Result>
  Result Record(const std::string& call, Result result) {
    calls.push_back(call);
    if (hangUpWhen_ && !hungUp_ && hangUpWhen_(call)) hungUp_ = true;
    return result;
  }

  // Takes what the emulator has sent, waiting up to `wait` for a first byte.
  void Pull(Millis wait) {
    if (!connection_) return;
    COMMTIMEOUTS firstByte{MAXDWORD, MAXDWORD, static_cast<DWORD>(wait.count()), 0, 0};
    COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
    connection_->SetTimeouts(wait.count() > 0 ? firstByte : atOnce);
    BYTE buffer[256];
    DWORD got = 0;
    connection_->Read(buffer, sizeof buffer, got);
    waiting_.insert(waiting_.end(), buffer, buffer + got);
  }

  std::shared_ptr<emulator::CorvaneEmulator> device_;
  std::unique_ptr<platform::CommDevice> connection_;
  std::map<std::string, int> failures_;
  std::function<bool(const std::string&)> hangUpWhen_;
  HangUp hangUpHow_ = HangUp::Kernel;
  bool hungUp_ = false;
  std::vector<BYTE> waiting_;
};

}  // namespace testing_support
