// A message queue for tests: messages are functions, posted now or at a
// virtual time, and run when the code under test pumps.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "clock.h"
#include "message_pump.h"

namespace testing_support {

class QueuePump final : public platform::MessagePump {
 public:
  explicit QueuePump(platform::VirtualClock& clock) : clock_(clock) {}

  void Post(std::function<void()> message) { queue_.push_back(std::move(message)); }
  void PostAt(platform::MonoTime when, std::function<void()> message) {
    clock_.At(when, [this, m = std::move(message)]() mutable { Post(std::move(m)); });
  }

  void RunQueued() override {
    runTimes.push_back(clock_.Now());
    while (!queue_.empty()) {
      auto message = std::move(queue_.front());
      queue_.pop_front();
      message();
    }
  }

  void WaitUntil(platform::MonoTime deadline) override {
    while (queue_.empty()) {
      const auto next = clock_.NextScheduled();
      if (!next || *next > deadline) {
        clock_.SleepUntil(deadline);
        return;
      }
      clock_.SleepUntil(*next);
    }
  }

  std::size_t runs() const { return runTimes.size(); }
  std::vector<platform::MonoTime> runTimes;

 private:
  platform::VirtualClock& clock_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace testing_support
