// Appending on Windows: share mode none, so no other program opens the file
// while the trace holds it; FILE_APPEND_DATA, so every write lands at the end.
#include "append_file.h"
#include "win32.h"
#include "windows_errors.h"

namespace platform {
namespace {

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
    file.problem_ = ErrnoFromWindowsError(GetLastError());
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
      if (problem_ == 0) problem_ = ErrnoFromWindowsError(GetLastError());
      return false;
    }
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace platform
