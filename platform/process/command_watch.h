// A run started by a command for one of its ports belongs to that command:
// when the command dies (kill -9, an out-of-memory kill, a supervisor's
// stop), the run stops as on a termination, clearing its break and releasing
// its port, instead of going on to configure an interface with nobody to
// report to.
#pragma once

#include <string>

namespace platform {

// The stop reason of a run whose command has ended (platform/time/stop.h):
// a signal number on POSIX.
extern const int kCommandEnded;

// What a run is given to know this process by: its process id on POSIX, an
// inheritable handle to it on Windows (made once, on the first call). Empty
// when the system cannot give one.
std::string CommandToken();

// In the run: requests a stop with kCommandEnded once the process `token`
// names ends, at once when it has already. False when the token is not one
// or the watch cannot be set.
//
// Linux: a parent-death signal, then the parent's id compared with the
// token, which closes the gap of a command that died before the signal was
// set. Windows: a wait on the inherited handle in the system's thread pool;
// a job object would kill the run where it stands, break held.
bool StopWhenCommandEnds(const std::string& token);

}  // namespace platform
