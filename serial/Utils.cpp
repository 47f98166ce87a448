#include "Utils.h"

#include "message_pump.h"
#include "stop.h"

TTimedWait TimedWait;

TTimedWait::TTimedWait() : PumpMessages(true) {}

// At least one pass, and messages run on every pass; the wait ends at the first
// reading at or past the deadline, after that pass's messages. Between passes
// it sleeps until a message comes or the deadline does, so it never spins; a
// stop request ends it at once, by ThrowIfStopRequested.
void TTimedWait::Delay(std::int32_t milliseconds) {
  platform::Clock& clock = platform::CurrentClock();
  const platform::MonoTime deadline = clock.Now() + platform::Millis(milliseconds);
  platform::MonoTime reading{};
  bool firstPass = true;
  while (reading < deadline) {
    if (!firstPass) {
      if (PumpMessages) {
        platform::CurrentPump().WaitUntil(deadline);
      } else {
        clock.SleepUntil(deadline);
      }
    }
    firstPass = false;
    // A stop request wakes the wait and ends the run.
    platform::ThrowIfStopRequested();
    reading = clock.Now();
    if (PumpMessages) platform::CurrentPump().RunQueued();
  }
}
