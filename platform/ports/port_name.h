// The name a port number opens, ".\COM3" or "\\.\COM12", and back: both ends
// of the one naming rule.
#pragma once

#include <optional>
#include <string>

namespace platform::ports {

// ".\COM" below 10, "\\.\COM" from 10 on, then the number in decimal.
std::string PortDeviceName(unsigned number);
// Parses ".\COMn" and "\\.\COMn"; nothing else names a port.
std::optional<unsigned> ParsePortName(const char* name);

}  // namespace platform::ports
