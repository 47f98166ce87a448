// Why a port could not be opened, told in words a user can act on.
#pragma once

#include <optional>
#include <string>

#include "win32.h"

namespace cli {

// The line after "Could not open comport!", for the error the open failed with.
std::string ExplainOpenFailure(DWORD error, unsigned port, const std::optional<std::string>& devicePath);
// Who holds a device, from its lock file (LCK..name) or the processes' open files.
std::optional<std::string> DeviceHolder(const std::string& devicePath);
// The group that owns a device, e.g. "dialout".
std::optional<std::string> DeviceGroup(const std::string& devicePath);
// USB adapters whose Linux driver cannot hold a long break (CH340/CH341).
bool CannotHoldLongBreak(unsigned vendorId, unsigned productId);

}  // namespace cli
