#include "port_name.h"

#include <cstring>

namespace platform::ports {

std::string PortDeviceName(unsigned number) {
  return (number < 10 ? ".\\COM" : "\\\\.\\COM") + std::to_string(number);
}

std::optional<unsigned> ParsePortName(const char* name) {
  if (name == nullptr) return std::nullopt;
  const char* digits = nullptr;
  if (std::strncmp(name, "\\\\.\\COM", 7) == 0) {
    digits = name + 7;
  } else if (std::strncmp(name, ".\\COM", 5) == 0) {
    digits = name + 5;
  } else {
    return std::nullopt;
  }
  if (*digits == '\0') return std::nullopt;
  unsigned long long value = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(*c - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<unsigned>(value);
}

}  // namespace platform::ports
