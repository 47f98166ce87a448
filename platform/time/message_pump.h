// How waiting code lets the user interface run. The default pump has nothing
// to run; the window installs one that runs the toolkit's queued messages.
#pragma once

#include "clock.h"

namespace platform {

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Runs every message queued now, then returns.
  virtual void RunQueued() = 0;
  // Returns at `deadline`, or earlier when a message arrives.
  virtual void WaitUntil(MonoTime deadline) = 0;
};

// The installed record's pump (services.h), or the idle one.
MessagePump& CurrentPump();

// Runs the Qt event queue of the calling thread (needs a QCoreApplication).
class QtMessagePump final : public MessagePump {
 public:
  void RunQueued() override;
  void WaitUntil(MonoTime deadline) override;
};

}  // namespace platform
