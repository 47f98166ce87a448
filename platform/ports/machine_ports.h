// The ports of this machine with their numbers: on POSIX the USB serial
// adapters, numbered for good through a NumberStore; on Windows the COM ports
// the system lists, under the numbers it gave them.
#pragma once

#include <vector>

#include "port_entry.h"
#include "port_numbers.h"

namespace platform::ports {

PortList MachinePorts(const MachineFolders& folders, NumberStore& store);

// A device as a user of this system would name it, for examples in help and
// errors: "/dev/ttyUSB0", or "COM3" on Windows.
const char* DeviceExample();

// The USB serial adapters plugged in now, from sysfs, udev's links and its
// hardware database alone: nothing is opened to find them. Numbers are not
// given here; an identity comes from sysfs alone, never from whether udev has
// made a link yet.
std::vector<PortEntry> ScanUsbSerialAdapters(const MachineFolders& folders);

}  // namespace platform::ports
