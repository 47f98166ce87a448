// The USB vendor and product ids in a device's hardware id, as Windows gives
// it ("USB\VID_0403&PID_6001&REV_0600", "FTDIBUS\COMPORT&VID_0403&PID_6001").
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace platform::ports {

std::optional<std::pair<unsigned, unsigned>> UsbIdsOfHardwareId(const std::string& hardwareId);
// A vendor or product id as the USB world writes it: four lower-case hex digits ("0403").
std::string UsbIdText(unsigned id);

}  // namespace platform::ports
