#include <charconv>
#include <cstdint>

#include "command_watch.h"
#include "stop.h"
#include "win32.h"

namespace platform {

const int kCommandEnded = 3;  // beside Ctrl-C (2) and the console closing (1)

namespace {

void CALLBACK OnCommandEnded(void*, BOOLEAN) { RequestStop(kCommandEnded); }

}  // namespace

std::string CommandToken() {
  // Inheritable, so that each run started with inherited handles holds the
  // same handle value; only good for waiting on this process.
  static const HANDLE self = [] {
    HANDLE handle = nullptr;
    return DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &handle, SYNCHRONIZE, TRUE,
                           0)
               ? handle
               : nullptr;
  }();
  return self ? std::to_string(reinterpret_cast<std::uintptr_t>(self)) : "";
}

bool StopWhenCommandEnds(const std::string& token) {
  std::uintptr_t value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size() || value == 0) return false;
  PrepareStop();
  HANDLE wait = nullptr;
  // A handle that has ended already is signalled: the callback comes at once.
  return RegisterWaitForSingleObject(&wait, reinterpret_cast<HANDLE>(value), OnCommandEnded, nullptr, INFINITE,
                                     WT_EXECUTEONLYONCE) != 0;
}

}  // namespace platform
