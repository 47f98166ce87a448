#include "usb_ids.h"

#include <cctype>
#include <cstdio>

namespace platform::ports {
namespace {

// Four hex digits after `tag` ("VID_"), case aside.
std::optional<unsigned> HexAfter(const std::string& text, const std::string& tag) {
  std::string upper;
  for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto at = upper.find(tag);
  if (at == std::string::npos || at + tag.size() + 4 > upper.size()) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = at + tag.size(); i < at + tag.size() + 4; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(upper[i]))) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(upper[i])) ? upper[i] - '0' : upper[i] - 'A' + 10);
  }
  return value;
}

}  // namespace

std::string UsbIdText(unsigned id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", id & 0xFFFF);
  return text;
}

std::optional<std::pair<unsigned, unsigned>> UsbIdsOfHardwareId(const std::string& hardwareId) {
  const auto vendor = HexAfter(hardwareId, "VID_"), product = HexAfter(hardwareId, "PID_");
  if (!vendor || !product) return std::nullopt;
  return std::pair{*vendor, *product};
}

}  // namespace platform::ports
