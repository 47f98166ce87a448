// A real serial device, opened through QSerialPort.
#pragma once

#include <memory>
#include <string>

#include "comm_device.h"

namespace platform {

std::shared_ptr<CommEndpoint> MakeSerialDeviceEndpoint(std::string devicePath);

}  // namespace platform
