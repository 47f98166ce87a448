// A real serial device: on POSIX held straight through termios and ioctl
// (termios_device_posix.cpp), on Windows through the kernel's comm calls
// (serial_device_windows.cpp), "COM7" or "\\.\COM7".
#pragma once

#include <memory>
#include <string>

#include "comm_device.h"

namespace platform {

std::shared_ptr<CommEndpoint> MakeSerialDeviceEndpoint(std::string devicePath);

}  // namespace platform
