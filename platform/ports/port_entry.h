// One port of the machine as the program lists it, and where the machine's
// devices are looked up.
#pragma once

#include "machine_folders.h"

#include <optional>
#include <string>
#include <vector>

namespace platform::ports {

struct PortEntry {
  unsigned number = 0;      // 0: not numbered (the stored numbers cannot be read)
  std::string device;       // device path, or a description of a simulated endpoint; empty when absent
  std::string description;  // what the system says the device is
  std::string identity;     // the adapter's stable name, for the machine's adapters
  bool present = true;
  std::optional<unsigned> usbVendorId;
  std::optional<unsigned> usbProductId;
  std::string vendor;        // from the hardware database, else what the device calls its maker
  std::string model;         // likewise, its product name
  std::string serialNumber;  // the USB serial number, when it has one
  std::string byIdLink;      // its /dev/serial/by-id link, when udev made one
  bool simulated = false;
  // Names earlier versions stored this adapter under; a number stored under
  // one of them is the adapter's.
  std::vector<std::string> formerIdentities;
};

// The ports, and why none are numbered when the stored numbers cannot be read.
struct PortList {
  std::vector<PortEntry> ports;
  std::string problem;  // empty when the numbers were read
};


}  // namespace platform::ports
