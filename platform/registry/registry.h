// Where the registry calls keep their keys on POSIX: one file per key, in a
// machine-wide folder, or in the user's configuration folder when full access
// to the machine-wide one is refused (as Windows redirects a legacy program's
// machine-wide writes).
#pragma once

#include <string>

#include "win32.h"

namespace platform::registry {

// The two folders: the installed record's (services.h), else the defaults.
std::string MachineFolder();
std::string UserFolder();
// The file an open key is kept in; empty for another handle.
std::string KeyFileOf(HKEY key);
// Why the last RegCreateKeyExA failed, in words for a message.
std::string LastProblem();
// How long RegCreateKeyExA waits for another program to finish with a key:
// the installed record's wait, 5 s unless set (tests).
int LockWaitMs();

}  // namespace platform::registry
