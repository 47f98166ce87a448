// The Windows comm calls on a terminal device, much as Wine implements them:
// SetCommState as tcsetattr, SetCommBreak as TIOCSBRK, GetCommModemStatus as
// TIOCMGET, the read time-outs over poll. The port is held as a good citizen
// holds one: refused while another program has it, taken with flock and
// TIOCEXCL (both dropped by the kernel when the process ends, however it
// ends), and given back with its break cleared and its settings as found.
#include "serial_device.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

#include "comm_failure.h"
#include "comm_read.h"
#include "port_holders.h"
#include "stop.h"
#include "system_calls.h"

namespace platform {
namespace {

using comm::CommFailure;
using comm::Sys;

// The speeds termios names; others are refused rather than approximated.
struct Speed {
  DWORD baud;
  speed_t code;
};
constexpr Speed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> SpeedCode(DWORD baud) {
  for (const Speed& s : kSpeeds) {
    if (s.baud == baud) return s.code;
  }
  return std::nullopt;
}

DWORD BaudOf(speed_t code) {
  for (const Speed& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

int MillisUntil(MonoTime until) {
  if (until == MonoTime::max()) return -1;
  const auto left = std::chrono::ceil<Millis>(until - CurrentClock().Now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

class TermiosDevice final : public CommDevice, private ReadSource {
 public:
  TermiosDevice(std::string path, int fd, const termios& original)
      : path_(std::move(path)), fd_(fd), original_(original) {
    // Windows' defaults for what termios does not hold.
    shadow_.DCBlength = sizeof(DCB);
    shadow_.fBinary = 1;
    shadow_.XonLim = 2048;
    shadow_.XoffLim = 512;
  }

  // The break cleared, the settings as they were found, the locks and the
  // descriptor released. On a line that has failed each step may fail; none
  // of them can hold the process.
  ~TermiosDevice() override {
    if (breakOn_) Sys().Ioctl(fd_, TIOCCBRK, nullptr);
    // Nothing unsent goes out after an interruption, and a dead line must not
    // keep close() waiting for output to drain.
    if (failed_ || StopRequested()) Sys().TcFlush(fd_, TCIOFLUSH);
    Sys().TcSetAttr(fd_, TCSANOW, &original_);
    Sys().Ioctl(fd_, TIOCNXCL, nullptr);
    Sys().Flock(fd_, LOCK_UN);
    Sys().Close(fd_);
  }
  TermiosDevice(const TermiosDevice&) = delete;
  TermiosDevice& operator=(const TermiosDevice&) = delete;

  BOOL SetTimeouts(const COMMTIMEOUTS& timeouts) override {
    if (failed_) return ReportLost();
    timeouts_ = timeouts;
    return TRUE;
  }

  // The kernel's queues have a fixed size; asking is all there is to do.
  BOOL SetupQueues(DWORD, DWORD) override { return failed_ ? ReportLost() : TRUE; }

  BOOL GetState(DCB& dcb) override {
    if (failed_) return ReportLost();
    termios t{};
    if (Sys().TcGetAttr(fd_, &t) != 0) return SystemFailure("line settings");
    dcb = shadow_;
    dcb.BaudRate = BaudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
      case CS5: dcb.ByteSize = 5; break;
      case CS6: dcb.ByteSize = 6; break;
      case CS7: dcb.ByteSize = 7; break;
      default: dcb.ByteSize = 8; break;
    }
    if ((t.c_cflag & PARENB) == 0) {
      dcb.Parity = NOPARITY;
    } else if ((t.c_cflag & CMSPAR) != 0) {
      dcb.Parity = (t.c_cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
      dcb.Parity = (t.c_cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    dcb.StopBits = (t.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fParity = (t.c_iflag & INPCK) != 0;
    dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    dcb.fOutX = (t.c_iflag & IXON) != 0;
    dcb.fInX = (t.c_iflag & IXOFF) != 0;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    dcb.EofChar = static_cast<char>(t.c_cc[VEOF]);
    int lines = 0;
    if (Sys().Ioctl(fd_, TIOCMGET, &lines) == 0) {
      dcb.fDtrControl = (lines & TIOCM_DTR) != 0 ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
      dcb.fRtsControl = (lines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    if (dcb.fOutxCtsFlow) dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    return TRUE;
  }

  BOOL SetState(const DCB& dcb) override {
    if (failed_) return ReportLost();
    termios t{};
    if (Sys().TcGetAttr(fd_, &t) != 0) return SystemFailure("line settings");
    const auto speed = SpeedCode(dcb.BaudRate);
    if (!speed || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) {
      return comm::Fail({EINVAL, "line settings", path_});
    }
    // Raw bytes both ways: no echo, no line editing, no translation, no
    // signals from received bytes.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // CLOCAL: the carrier-detect line reports the card slot, so its changes
    // must never hang the line up. HUPCL: DTR and RTS drop when the port is
    // closed, even by a process that is killed, as on Windows.
    t.c_cflag |= CLOCAL | CREAD | HUPCL;
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
      case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
      case EVENPARITY: t.c_cflag |= PARENB; break;
      case MARKPARITY: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
      case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
      default: break;
    }
    if (dcb.fParity) t.c_iflag |= INPCK;
    if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
    if (dcb.fOutX) t.c_iflag |= IXON;
    if (dcb.fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    // A read with nothing waiting says EAGAIN; only a hang-up reads 0 bytes.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetospeed(&t, *speed);
    cfsetispeed(&t, *speed);
    if (Sys().TcSetAttr(fd_, TCSANOW, &t) != 0) return SystemFailure("line settings");

    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE && !SetModemLine(TIOCM_DTR, dcb.fDtrControl == DTR_CONTROL_ENABLE)) {
      return SystemFailure("modem control (DTR)");
    }
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE && dcb.fRtsControl != RTS_CONTROL_TOGGLE &&
        !SetModemLine(TIOCM_RTS, dcb.fRtsControl == RTS_CONTROL_ENABLE)) {
      return SystemFailure("modem control (RTS)");
    }
    shadow_ = dcb;
    shadow_.DCBlength = sizeof(DCB);
    return TRUE;
  }

  BOOL SetBreak(bool on) override {
    if (failed_) return ReportLost();
    if (Sys().Ioctl(fd_, on ? TIOCSBRK : TIOCCBRK, nullptr) != 0) return SystemFailure("break");
    breakOn_ = on;
    return TRUE;
  }

  BOOL GetModemStatus(DWORD& status) override {
    status = 0;
    if (failed_) return ReportLost();
    int lines = 0;
    if (Sys().Ioctl(fd_, TIOCMGET, &lines) != 0) return SystemFailure("modem status");
    if ((lines & TIOCM_CTS) != 0) status |= MS_CTS_ON;
    if ((lines & TIOCM_DSR) != 0) status |= MS_DSR_ON;
    if ((lines & TIOCM_RI) != 0) status |= MS_RING_ON;
    if ((lines & TIOCM_CD) != 0) status |= MS_RLSD_ON;
    return TRUE;
  }

  BOOL Write(const BYTE* data, DWORD count, DWORD& written) override {
    written = 0;
    if (failed_) return ReportLost();
    const bool bounded = timeouts_.WriteTotalTimeoutMultiplier != 0 || timeouts_.WriteTotalTimeoutConstant != 0;
    const MonoTime deadline =
        bounded ? CurrentClock().Now() + Millis(static_cast<long long>(timeouts_.WriteTotalTimeoutMultiplier) * count +
                                                timeouts_.WriteTotalTimeoutConstant)
                : MonoTime::max();
    while (written < count) {
      const ssize_t n = Sys().Write(fd_, data + written, count - written);
      if (n > 0) {
        written += static_cast<DWORD>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return SystemFailure("write");
      // The kernel's queue is full: wait until it takes more, or give up.
      if (WaitFor(POLLOUT, deadline) == 0) break;
    }
    if (written == count) return TRUE;
    if (failed_) return ReportLost();
    // A write that gives up is cancelled, as on Windows.
    Sys().TcFlush(fd_, TCOFLUSH);
    return comm::Fail({StopRequested() ? ECANCELED : ETIMEDOUT, "write", path_});
  }

  BOOL Read(BYTE* data, DWORD count, DWORD& got) override {
    return ReadWithTimeouts(timeouts_, *this, data, count, got);
  }

 private:
  DWORD Take(BYTE* data, DWORD max) override {
    if (max == 0 || failed_) return 0;
    for (;;) {
      const ssize_t n = Sys().Read(fd_, data, max);
      if (n > 0) return static_cast<DWORD>(n);
      if (n == 0) {
        LineLost(EIO, "read");  // a terminal reads end-of-file only once it is hung up
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) SystemFailure("read");
      return 0;
    }
  }

  bool WaitForByte(MonoTime until) override { return WaitFor(POLLIN, until) != 0; }

  bool Failed() const override { return failed_; }

  BOOL ReportLost() override { return comm::Fail(lost_); }

  // Waits until the line is ready for `events`, `until` comes, the line fails
  // or a stop is requested; returns the line's ready events, 0 for the others.
  short WaitFor(short events, MonoTime until) {
    pollfd fds[2] = {{fd_, events, 0}, {StopWakeHandle(), POLLIN, 0}};
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    for (;;) {
      if (failed_ || StopRequested()) return 0;
      const int ready = Sys().Poll(fds, count, MillisUntil(until));
      if (ready < 0) {
        if (errno == EINTR) continue;
        SystemFailure("wait");
        return 0;
      }
      const short got = fds[0].revents;
      if ((got & events) != 0) return got;  // what came before a hang-up is still read
      if ((got & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        LineLost(EIO, "wait");
        return 0;
      }
      if (CurrentClock().Now() >= until) return 0;
    }
  }

  bool SetModemLine(int line, bool on) {
    if (Sys().Ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    // A pseudo-terminal has no modem lines; the line settings are all there is.
    return errno == ENOTTY || errno == EINVAL;
  }

  void LineLost(int systemError, const char* operation) {
    if (!failed_) lost_ = {systemError, operation, path_};
    failed_ = true;
  }

  // Records the errno of the call that just failed; a hang-up fails the line.
  BOOL SystemFailure(const char* operation) {
    const int systemError = errno;
    if (comm::IsLineLostError(systemError)) {
      LineLost(systemError, operation);
      return ReportLost();
    }
    return comm::Fail({systemError, operation, path_});
  }

  std::string path_;
  int fd_;
  termios original_;
  COMMTIMEOUTS timeouts_{};
  DCB shadow_{};
  bool breakOn_ = false;
  bool failed_ = false;
  CommFailure lost_;
};

// Closes a descriptor unless it is handed on.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) Sys().Close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

BOOL InUse(CommFailure failure, const std::optional<comm::Holder>& holder) {
  failure.systemError = EBUSY;
  if (holder) {
    failure.holder = holder->pid;
    failure.holderName = holder->name;
    failure.lockFile = holder->lockFile;
  }
  return comm::Fail(std::move(failure));
}

std::unique_ptr<CommDevice> OpenDevice(const std::string& path) {
  CommFailure failure{0, "open", path};
  auto fail = [&](int systemError) {
    CommFailure f = failure;
    f.systemError = systemError;
    comm::Fail(std::move(f));
    return nullptr;
  };
  if (path.size() >= PATH_MAX) return fail(ENAMETOOLONG);
  struct stat info {};
  if (Sys().Stat(path.c_str(), &info) != 0) return fail(errno);
  // Who may use it, as it is now: a later failure is explained by it.
  failure.access = comm::DeviceAccess{info.st_uid, info.st_gid, info.st_mode, {}, {}};
  if (const auto user = Sys().UserName(info.st_uid)) failure.access->ownerName = *user;
  if (const auto group = Sys().GroupName(info.st_gid)) failure.access->groupName = *group;
  // Only a device is opened: a folder, a file or a pipe is no serial port.
  if (!S_ISCHR(info.st_mode)) return fail(S_ISDIR(info.st_mode) ? EISDIR : ENOTTY);
  // A live lock file is never touched, and the device not opened at all.
  if (auto holder = comm::LockFileHolder(path)) {
    InUse(failure, holder);
    return nullptr;
  }

  int fd = -1;
  do {
    fd = Sys().Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int systemError = errno;
    // EBUSY: another program set TIOCEXCL.
    if (systemError == EBUSY) InUse(failure, comm::ProcessHolding(info.st_rdev));
    else fail(systemError);
    return nullptr;
  }
  FdGuard guard(fd);
  termios original{};
  if (Sys().TcGetAttr(fd, &original) != 0) return fail(errno);  // ENOTTY: /dev/null and the like
  // Refused while another program has it open, whether or not it locked it.
  if (auto holder = comm::ProcessHolding(info.st_rdev)) {
    InUse(failure, holder);
    return nullptr;
  }
  if (Sys().Flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int systemError = errno;
    // The process table was just searched: the holder is one this user cannot see.
    if (systemError == EWOULDBLOCK) InUse(failure, std::nullopt);
    else fail(systemError);
    return nullptr;
  }
  // Keeps out later openers that take no lock (except root's).
  if (Sys().Ioctl(fd, TIOCEXCL, nullptr) != 0) return fail(errno);
  termios reading = original;
  // A read with nothing waiting says EAGAIN; only a hang-up reads 0 bytes.
  reading.c_cc[VMIN] = 1;
  reading.c_cc[VTIME] = 0;
  if (Sys().TcSetAttr(fd, TCSANOW, &reading) != 0) return fail(errno);
  return std::make_unique<TermiosDevice>(path, guard.release(), original);
}

class SerialDeviceEndpoint final : public CommEndpoint {
 public:
  explicit SerialDeviceEndpoint(std::string path) : path_(std::move(path)) {}
  std::unique_ptr<CommDevice> Open() override { return OpenDevice(path_); }
  std::string Description() const override { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::shared_ptr<CommEndpoint> MakeSerialDeviceEndpoint(std::string devicePath) {
  return std::make_shared<SerialDeviceEndpoint>(std::move(devicePath));
}

}  // namespace platform
