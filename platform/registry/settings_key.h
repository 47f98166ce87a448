// The key the program keeps its settings under, on every platform: the
// machine-wide one where the program may change it, else the user's own
// copy, started from the machine-wide values when it is new. So a user who
// may not change the machine's settings still keeps choices of their own.
#pragma once

#include <string>

#include "win32.h"

namespace platform::registry {

// Opens `subKey` (no leading backslash) with full access, creating it when
// missing, and says in `where` where it is kept, for a message ("the
// settings file /etc/...", "the registry key HKEY_LOCAL_MACHINE\..."). On
// failure, `problem` says why, in words for a message; a status of
// ERROR_BADDB means the stored key is damaged and must not be replaced.
LSTATUS OpenSettingsKey(const char* subKey, HKEY& key, std::string& problem, std::string& where);

// Why the last call on a key under it failed with `status`, in words for a
// message (on POSIX with the file, and its line when it is damaged).
std::string KeyProblem(LSTATUS status);

}  // namespace platform::registry
