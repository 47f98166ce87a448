// The text form of one registry key: the registry's own export format, so
// values keep their types and a person can read and mend the file.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Veltra_Software\USB_Corvane]
//   "ComPort"=dword:00000001
//   "Name"="text"
//   "Data"=hex:01,02,ff
//   "Other"=hex(7):41,00,00
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32.h"

namespace platform::registry {

struct Value {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  friend bool operator==(const Value&, const Value&) = default;
};

// A REG_DWORD value: four bytes, least significant first.
Value DwordValue(std::uint32_t value);
// The integer in up to four bytes, least significant first; missing bytes are 0.
std::uint32_t DwordFromBytes(const std::uint8_t* data, std::size_t size);

// Value names compare without regard to case, as the registry's do; a name
// keeps the case it was first written with.
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using Values = std::map<std::string, Value, NameLess>;

struct KeyFile {
  std::string path;  // "HKEY_LOCAL_MACHINE\Software\..."
  Values values;
};

struct ParseError {
  int line = 0;
  std::string message;
};

// The largest file taken as a settings key; anything bigger is not one.
inline constexpr std::size_t kMaxKeyFileSize = 1 << 20;

std::string FormatKeyFile(const KeyFile& key);
// Fills `key` or returns what is wrong, with its line.
std::optional<ParseError> ParseKeyFile(std::string_view text, KeyFile& key);

}  // namespace platform::registry
