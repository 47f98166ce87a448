// A file or device name as a message shows it: as it is, unless it holds a
// character that would break the message (a newline, another control
// character, a quote); then in single quotes with such characters escaped
// ('a\nb'), so that one message stays one line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

inline std::string QuotedName(std::string_view name) {
  auto breaks = [](unsigned char c) { return c < 0x20 || c == 0x7f || c == '\'' || c == '\\'; };
  bool plain = true;
  for (unsigned char c : name) plain = plain && !breaks(c);
  if (plain) return std::string(name);
  std::string quoted = "'";
  for (unsigned char c : name) {
    if (c == '\n') quoted += "\\n";
    else if (c == '\t') quoted += "\\t";
    else if (c == '\'' || c == '\\') (quoted += '\\') += static_cast<char>(c);
    else if (breaks(c)) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      quoted += escape;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "'";
}

}  // namespace platform
