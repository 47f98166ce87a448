// The one table from Windows' error codes to the errno they stand for, so
// that failures on Windows are recorded, classified and explained as they are
// on POSIX; and the system's own words for a code. Windows only.
#pragma once

#include <cerrno>
#include <string>

#include "win32.h"

namespace platform {

inline int ErrnoFromWindowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;  // also a COM port another program has open
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return ENOTTY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NO_DATA:
    case ERROR_BROKEN_PIPE: return EPIPE;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_SEM_TIMEOUT: return ETIMEDOUT;
    case ERROR_OPERATION_ABORTED: return ECANCELED;
    default: return EIO;  // the device not connected, a general failure, ...
  }
}

// "Access is denied.", as Windows says it (FormatMessage).
inline std::string WindowsErrorText(DWORD error) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(error);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

}  // namespace platform
