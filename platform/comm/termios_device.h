// A real serial device on POSIX, held straight through termios and ioctl.
#pragma once

#include <memory>
#include <string>

#include "comm_device.h"

namespace platform {

std::shared_ptr<CommEndpoint> MakeSerialDeviceEndpoint(std::string devicePath);

}  // namespace platform
