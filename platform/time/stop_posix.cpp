#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "stop.h"
#include "stop_request.h"

namespace platform {
namespace {

// A self-pipe: its read end becomes readable with a request, so a poll()
// anywhere in a wait returns at once.
int wakePipe[2] = {-1, -1};

void DrainWakePipe() {
  char buffer[64];
  while (wakePipe[0] >= 0 && ::read(wakePipe[0], buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

void PrepareStop() {
  if (wakePipe[0] >= 0) return;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;  // waits then end at their deadline only
  wakePipe[0] = ends[0];
  wakePipe[1] = ends[1];
}

void RequestStop(int reason) {
  const int saved = errno;  // a handler must leave errno as it found it
  RequestedReason().store(reason == 0 ? -1 : reason);
  if (wakePipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakePipe[1], &byte, 1);
  }
  errno = saved;
}

void ClearStop() {
  RequestedReason().store(0);
  DrainWakePipe();
}

int StopWakeHandle() {
  PrepareStop();
  return wakePipe[0];
}

void SleepUntilOrStopped(MonoTime until) {
  pollfd wake{StopWakeHandle(), POLLIN, 0};
  for (;;) {
    if (StopRequested()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return;
    const auto left = std::chrono::ceil<Millis>(until - now).count();
    const int timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
    if (wake.fd < 0) {
      std::this_thread::sleep_until(until);
      return;
    }
    ::poll(&wake, 1, timeout);  // EINTR and wake-ups are judged by the loop
  }
}

}  // namespace platform
