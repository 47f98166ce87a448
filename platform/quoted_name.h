// A file or device name as a message shows it: as it is, unless it holds a
// control character that would break the message (a newline, a tab, an
// escape); then in single quotes, those characters and quotes escaped
// ('a\nb'), so that one message stays one line. A backslash, Windows' folder
// separator, is left as it is.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

inline std::string QuotedName(std::string_view name) {
  auto control = [](unsigned char c) { return c < 0x20 || c == 0x7f; };
  bool plain = true;
  for (unsigned char c : name) plain = plain && !control(c);
  if (plain) return std::string(name);
  std::string quoted = "'";
  for (unsigned char c : name) {
    if (c == '\n') quoted += "\\n";
    else if (c == '\t') quoted += "\\t";
    else if (c == '\'') quoted += "\\'";
    else if (control(c)) {
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
