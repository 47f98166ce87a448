// On Windows a request sets a manual-reset event, which sleeps wait on. The
// console's control handler runs on a thread of its own, where SetEvent is
// safe.
#include "stop.h"
#include "stop_request.h"
#include "win32.h"

namespace platform {
namespace {

HANDLE WakeEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

}  // namespace

void PrepareStop() { WakeEvent(); }

void RequestStop(int reason) {
  RequestedReason().store(reason == 0 ? -1 : reason);
  if (WakeEvent() != nullptr) SetEvent(WakeEvent());
}

void ClearStop() {
  RequestedReason().store(0);
  if (WakeEvent() != nullptr) ResetEvent(WakeEvent());
}

// Nothing here waits with poll().
int StopWakeHandle() { return -1; }

void SleepUntilOrStopped(MonoTime until) {
  for (;;) {
    if (StopRequested()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return;
    const auto left = std::chrono::ceil<Millis>(until - now).count();
    const DWORD timeout = static_cast<DWORD>(left < 0x7FFFFFFF ? left : 0x7FFFFFFF);
    if (WakeEvent() == nullptr) {
      Sleep(timeout);
    } else {
      WaitForSingleObject(WakeEvent(), timeout);  // wake-ups are judged by the loop
    }
  }
}

}  // namespace platform
