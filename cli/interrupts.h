// Ctrl-C, a termination and a hang-up of the terminal stop the run where it
// is, and it unwinds through its normal path, so the break is cleared, the
// line's settings restored and the port released before the program ends.
#pragma once

namespace cli {

// SIGINT, SIGTERM and SIGHUP request a stop (platform/stop.h); SIGPIPE is
// ignored, so a reader of the output that goes away never ends a run half-way.
void HandleInterrupts();
// "SIGINT" and the like.
const char* SignalName(int signal);

}  // namespace cli
