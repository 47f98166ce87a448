// Ctrl-C, a termination and a hang-up of the terminal stop the run where it
// is, and it unwinds through its normal path, so the break is cleared, the
// line's settings restored and the port released before the program ends.
#pragma once

#include <string>

namespace cli {

// SIGINT, SIGTERM and SIGHUP request a stop (platform/stop.h); SIGPIPE is
// ignored, so a reader of the output that goes away never ends a run half-way.
void HandleInterrupts();
// "SIGINT", "SIGKILL" and the like.
std::string SignalName(int signal);
// Ends the program as the stop request's signal would have, once the run has
// cleaned up: on POSIX the default action is restored and the signal raised
// again, so that a calling shell sees the signal and stops too (its status
// still reads 128 + the signal's number). Returns that status where the
// signal does not end the process (Windows).
int ExitBySignal(int signal);

}  // namespace cli
