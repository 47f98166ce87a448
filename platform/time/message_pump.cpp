#include "message_pump.h"

namespace platform {
namespace {

class IdlePump final : public MessagePump {
 public:
  void RunQueued() override {}
  void WaitUntil(MonoTime deadline) override { CurrentClock().SleepUntil(deadline); }
};

MessagePump*& Installed() {
  static IdlePump idle;
  static MessagePump* current = &idle;
  return current;
}

}  // namespace

MessagePump& CurrentPump() { return *Installed(); }

ScopedPump::ScopedPump(MessagePump& pump) : previous_(Installed()) { Installed() = &pump; }
ScopedPump::~ScopedPump() { Installed() = previous_; }

}  // namespace platform
