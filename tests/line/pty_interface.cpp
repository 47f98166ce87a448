// The simulated interface at the far end of pseudo-terminals, so that the
// real program, native or under Wine, runs against real lines:
//   pty_interface BREAK_FIFO [LINES]
// prints each slave's path (one line by default), then carries bytes between
// each line and its own simulated device until SIGTERM, when it prints what
// each device was set to. A pty carries no break; the break_signal library,
// preloaded into the program under test, writes to BREAK_FIFO which line's
// break the program sets and clears.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "corvane_emulator.h"
#include "scenario.h"

namespace {

volatile sig_atomic_t terminated = 0;

// The device's replies are forwarded at this pace at the latest: well under
// any time-out the program waits on.
constexpr int kForwardTickMs = 2;

bool WriteAll(int fd, const BYTE* data, DWORD count) {
  while (count > 0) {
    const ssize_t n = write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<DWORD>(n);
  }
  return true;
}

// One line: the master, its slave's path and the interface behind it.
struct Line {
  int master = -1;
  std::string slave;
  std::shared_ptr<emulator::CorvaneEmulator> simulated;
  std::unique_ptr<platform::CommDevice> device;
};

// "1/dev/pts/5\n" and "0/dev/pts/5\n", as many as have come.
void TakeBreaks(int breaks, std::string& pending, std::vector<Line>& lines) {
  char buffer[256];
  for (ssize_t n = read(breaks, buffer, sizeof buffer); n > 0; n = read(breaks, buffer, sizeof buffer)) {
    pending.append(buffer, static_cast<std::size_t>(n));
  }
  for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
    const std::string path = pending.substr(1, end - 1);
    for (Line& line : lines) {
      if (line.slave == path) line.device->SetBreak(pending[0] == '1');
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc == 3 ? std::atoi(argv[2]) : 1;
  if ((argc != 2 && argc != 3) || count < 1 || count > 64) {
    std::fprintf(stderr, "usage: pty_interface BREAK_FIFO [LINES]\n");
    return 2;
  }
  // Read and write: the FIFO then never reads as hung up between writers.
  const int breaks = open(argv[1], O_RDWR | O_NONBLOCK);
  if (breaks < 0) {
    std::perror("pty_interface");
    return 1;
  }
  std::vector<Line> lines(static_cast<std::size_t>(count));
  for (Line& line : lines) {
    line.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0 || ptsname(line.master) == nullptr) {
      std::perror("pty_interface");
      return 1;
    }
    line.slave = ptsname(line.master);
    line.simulated = emulator::CorvaneEmulator::Create();
    line.device = line.simulated->Open();
    COMMTIMEOUTS immediate{};
    immediate.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what is due
    line.device->SetTimeouts(immediate);
    std::printf("%s\n", line.slave.c_str());
  }
  struct sigaction action {};
  action.sa_handler = [](int) { terminated = 1; };
  sigaction(SIGTERM, &action, nullptr);
  std::fflush(stdout);

  std::string pending;
  std::vector<pollfd> fds(lines.size() + 1);
  while (!terminated) {
    fds[0] = {breaks, POLLIN, 0};
    for (std::size_t i = 0; i < lines.size(); ++i) fds[i + 1] = {lines[i].master, POLLIN, 0};
    // Until the program opens a slave its master reads as hung up; wait for
    // the program then on the FIFO and the tick alone.
    if (poll(fds.data(), fds.size(), 0) > 0) {
      for (pollfd& fd : fds) {
        if ((fd.revents & (POLLHUP | POLLIN)) == POLLHUP) fd.fd = -1;
      }
    }
    if (poll(fds.data(), fds.size(), kForwardTickMs) < 0 && errno != EINTR) break;
    TakeBreaks(breaks, pending, lines);
    for (Line& line : lines) {
      BYTE bytes[256];
      DWORD count = 0;
      for (ssize_t n = read(line.master, bytes, sizeof bytes); n > 0; n = read(line.master, bytes, sizeof bytes)) {
        line.device->Write(bytes, static_cast<DWORD>(n), count);
      }
      if (line.device->Read(bytes, sizeof bytes, count) && count > 0) WriteAll(line.master, bytes, count);
    }
  }
  for (const Line& line : lines) std::printf("%s\n", emulator::DescribeDevice(*line.simulated).c_str());
  return 0;
}
