#include "message_pump.h"

#include "services.h"

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

}  // namespace

MessagePump& CurrentPump() {
  MessagePump* installed = InstalledServices().pump;
  return installed != nullptr ? *installed : Idle();
}

}  // namespace platform
