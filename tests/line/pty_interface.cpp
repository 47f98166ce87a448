// The simulated interface at the far end of a pseudo-terminal, so that the
// real program, native or under Wine, runs against a real line:
//   pty_interface BREAK_FIFO
// prints the slave's path, then carries bytes between the line and the
// simulated device until SIGTERM, when it prints what the device was set to.
// A pty carries no break; the break_signal library, preloaded into the
// program under test, writes '1' and '0' to BREAK_FIFO as the program sets
// and clears it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pty_interface BREAK_FIFO\n");
    return 2;
  }
  // Read and write: the FIFO then never reads as hung up between writers.
  const int breaks = open(argv[1], O_RDWR | O_NONBLOCK);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (breaks < 0 || master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
    std::perror("pty_interface");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = [](int) { terminated = 1; };
  sigaction(SIGTERM, &action, nullptr);
  std::printf("%s\n", ptsname(master));
  std::fflush(stdout);

  const auto simulated = emulator::CorvaneEmulator::Create();
  const auto device = simulated->Open();
  COMMTIMEOUTS immediate{};
  immediate.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what is due
  device->SetTimeouts(immediate);

  while (!terminated) {
    pollfd fds[2] = {{breaks, POLLIN, 0}, {master, POLLIN, 0}};
    // Until the program opens the slave the master reads as hung up; wait
    // for the program then on the FIFO and the tick alone.
    if (poll(fds, 2, 0) > 0 && (fds[1].revents & (POLLHUP | POLLIN)) == POLLHUP) fds[1].fd = -1;
    if (poll(fds, 2, kForwardTickMs) < 0 && errno != EINTR) break;
    char signals[16];
    for (ssize_t n = read(breaks, signals, sizeof signals); n > 0; n = read(breaks, signals, sizeof signals)) {
      for (ssize_t k = 0; k < n; ++k) device->SetBreak(signals[k] == '1');
    }
    BYTE bytes[256];
    DWORD count = 0;
    for (ssize_t n = read(master, bytes, sizeof bytes); n > 0; n = read(master, bytes, sizeof bytes)) {
      device->Write(bytes, static_cast<DWORD>(n), count);
    }
    if (device->Read(bytes, sizeof bytes, count) && count > 0) WriteAll(master, bytes, count);
  }
  std::printf("%s\n", emulator::DescribeDevice(*simulated).c_str());
  return 0;
}
