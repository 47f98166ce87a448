// The request itself, the same everywhere; how waits wake for it is the
// platform's (stop_posix.cpp, stop_windows.cpp).
#include <atomic>

#include "stop.h"
#include "stop_request.h"

namespace platform {

std::atomic<int>& RequestedReason() {
  static std::atomic<int> reason{0};
  return reason;
}

bool StopRequested() { return RequestedReason().load() != 0; }

int StopReason() {
  const int reason = RequestedReason().load();
  return reason < 0 ? 0 : reason;
}

void ThrowIfStopRequested() {
  if (StopRequested()) throw RunStopped();
}

}  // namespace platform
