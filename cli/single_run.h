// A run on one port in this process: its status lines on the terminal, or
// as events for the usb-corvane that runs several (--events).
#pragma once

#include "options.h"
#include "run_targets.h"

namespace cli {

// The exit status: 0 when the interface was set, 1 when not, 2 on a bad
// scenario; a stopped run ends the program by its signal.
int RunOnePort(const Options& options, const RunTarget& target);

}  // namespace cli
