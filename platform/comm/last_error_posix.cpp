// GetLastError() as on Windows: the reason of the calling thread's last failure.
#include "win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
