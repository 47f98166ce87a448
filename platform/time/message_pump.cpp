#include "message_pump.h"

namespace platform {
namespace {

class IdlePump final : public MessagePump {
 public:
  void RunQueued() override {}
  void WaitUntil(MonoTime deadline) override { CurrentClock().SleepUntil(deadline); }
};

MessagePump& Idle() {
  static IdlePump idle;
  return idle;
}

MessagePump*& Installed() {
  static MessagePump* current = &Idle();
  return current;
}

}  // namespace

MessagePump& CurrentPump() { return *Installed(); }

void InstallPump(MessagePump* pump) { Installed() = pump != nullptr ? pump : &Idle(); }

}  // namespace platform
