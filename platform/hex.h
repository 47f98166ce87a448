// Hexadecimal digits, as the program's texts read and write them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// 0-15 for a hex digit of either case, -1 for anything else.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Two upper-case digits.
inline void AppendHexByte(std::string& text, std::uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  text += kDigits[value >> 4];
  text += kDigits[value & 0x0F];
}

}  // namespace platform
