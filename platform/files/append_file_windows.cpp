// Appending on Windows: share mode none, so no other program opens the file
// while the trace holds it; FILE_APPEND_DATA, so every write lands at the end.
#include <cerrno>

#include "append_file.h"
#include "win32.h"

namespace platform {
namespace {

// The trace reports its problem as an errno, as on POSIX.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NO_DATA:
    case ERROR_BROKEN_PIPE: return EPIPE;
    default: return EIO;
  }
}

HANDLE HandleOf(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

}  // namespace

void AppendFile::Close() {
  if (native_ != kClosed) CloseHandle(HandleOf(native_));
  native_ = kClosed;
}

AppendFile AppendFile::OpenExclusive(const std::string& path) {
  AppendFile file;
  file.state_ = State::Failed;
  const HANDLE handle = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    file.problem_ = ErrnoOf(GetLastError());
    return file;
  }
  file.native_ = reinterpret_cast<std::intptr_t>(handle);
  file.state_ = State::Open;
  return file;
}

bool AppendFile::Write(std::string_view data) {
  if (native_ == kClosed) return false;
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = data.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(data.size());
    if (!WriteFile(HandleOf(native_), data.data(), chunk, &written, nullptr) || written == 0) {
      if (problem_ == 0) problem_ = ErrnoOf(GetLastError());
      return false;
    }
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace platform
