// A request from outside the run (Ctrl-C, a termination signal) that the run
// in progress end now. Waits wake for it at once; the run then unwinds by the
// RunStopped exception, its port released on the way out.
#pragma once

#include <exception>

#include "clock.h"

namespace platform {

class RunStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "the run was stopped"; }
};

// Safe to call from a signal handler once PrepareStop() has run.
void RequestStop(int reason);
// Creates what a request from a signal handler needs; idempotent.
void PrepareStop();
bool StopRequested();
// The reason given to RequestStop (a signal number), 0 when none was asked for.
int StopReason();
// Forgets a request (tests, or a program that has handled it).
void ClearStop();
// Readable from the moment a stop is requested, for poll(); -1 where there is none.
int StopWakeHandle();
// Throws RunStopped when a stop has been requested.
void ThrowIfStopRequested();
// Sleeps in real time until `until`, or until a stop is requested.
void SleepUntilOrStopped(MonoTime until);

}  // namespace platform
