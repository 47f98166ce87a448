// Why the last comm call failed, kept beside GetLastError(): the system's own
// error (errno) and the device it concerned, so that a failure can be
// explained in words a user can act on.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "win32.h"

namespace platform::comm {

// Who may use a device, as the system said when it refused the program.
struct DeviceAccess {
  unsigned owner = 0;
  unsigned group = 0;
  unsigned mode = 0;  // the file's type and permission bits, as stat gives them
  std::string ownerName;  // empty when the user has no name
  std::string groupName;
  friend bool operator==(const DeviceAccess&, const DeviceAccess&) = default;
};

struct CommFailure {
  CommFailure() = default;
  CommFailure(int error, std::string what, std::string path = {})
      : systemError(error), operation(std::move(what)), device(std::move(path)) {}

  int systemError = 0;     // errno of the failed call; 0 when nothing failed
  std::string operation;   // what was being done: "open", "line settings", "read", ...
  std::string device;      // the device's path, or what stands in for it
  unsigned port = 0;       // the port number asked for, when one was
  std::string identity;    // the adapter a port number belongs to
  std::string numbering;   // why no machine port has a number now (the stored numbers cannot be read)
  std::optional<long> holder;  // a process seen holding the device
  std::string holderName;
  std::string lockFile;    // the lock file that names the holder
  std::optional<DeviceAccess> access;  // the device's owner and mode, when it was looked at
  friend bool operator==(const CommFailure&, const CommFailure&) = default;
};

// The one table from the system's errors to the Windows codes.
DWORD ErrorFromErrno(int systemError);

// Records `failure`, sets GetLastError() from its errno and returns FALSE.
BOOL Fail(CommFailure failure);
const CommFailure& LastFailure();
void ClearLastFailure();

// A failure that means the device went away under the program: a hang-up,
// an unplugged adapter.
bool IsLineLostError(int systemError);
inline bool LineLost(const CommFailure& failure) { return IsLineLostError(failure.systemError); }

// What went wrong and what would help, in one or two sentences; empty when
// nothing failed.
std::string Explain(const CommFailure& failure);

}  // namespace platform::comm
