// Every value of an open key, on Windows, in the registry's order. A value
// larger than kLargestValue is passed over; the walk ends after the last
// value, or at the first that cannot be read (a key that stops answering
// would otherwise be asked for ever). The data handed on is followed by a
// zero byte, so a string value that was stored without one is still whole.
#pragma once

#include <functional>
#include <vector>

#include "win32.h"

namespace platform::registry {

inline constexpr DWORD kLargestValue = 4096;

using ValueVisitor = std::function<void(const char* name, DWORD type, const BYTE* data, DWORD size)>;

inline void ForEachValue(HKEY key, const ValueVisitor& visit) {
  std::vector<char> name(256);
  std::vector<BYTE> data(kLargestValue + 1);
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = kLargestValue;
    DWORD type = REG_NONE;
    const LSTATUS status = RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return;
    data[dataSize] = 0;
    visit(name.data(), type, data.data(), dataSize);
  }
}

}  // namespace platform::registry
