// The names the system's hardware database gives a USB device's ids, such
// as "Future Technology Devices International, Ltd" and "FT232 Serial (UART)
// IC". Looked up by the ids alone: no device is opened or even asked.
#pragma once

#include <memory>
#include <string>

namespace platform::ports {

struct UsbNames {
  std::string vendor;  // empty when the database does not know the ids
  std::string model;
};

class DeviceDatabase {
 public:
  virtual ~DeviceDatabase() = default;
  virtual UsbNames Lookup(unsigned vendorId, unsigned productId) = 0;
};

// udev's hardware database (hwdb.bin); knows nothing when the file is missing.
std::shared_ptr<DeviceDatabase> UdevDeviceDatabase();
// The installed record's database (services.h), or udev's.
DeviceDatabase& CurrentDeviceDatabase();

}  // namespace platform::ports
