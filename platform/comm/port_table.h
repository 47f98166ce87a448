// Which device a port number ("COM3") opens on this machine.
//
// By default the numbers name the machine's serial devices in a stable order,
// USB adapters first (ttyUSB*, ttyACM*), then the others, port 1 the first.
// An explicit mapping (a device path or a simulated endpoint) takes precedence.
// Tests switch the machine's devices off so that only what they map can open.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm_device.h"

namespace platform::ports {

struct PortEntry {
  unsigned number = 0;
  std::string device;       // device path, or a description of a simulated endpoint
  std::string description;  // what the system says the device is
  std::optional<unsigned> usbVendorId;
  std::optional<unsigned> usbProductId;
  bool simulated = false;
};

void MapDevice(unsigned number, std::string devicePath);
void MapEndpoint(unsigned number, std::shared_ptr<CommEndpoint> endpoint);
void Unmap(unsigned number);
void UnmapAll();
void UseMachinePorts(bool use);

// The endpoint behind a number, or null when none is.
std::shared_ptr<CommEndpoint> Resolve(unsigned number);
std::optional<PortEntry> Describe(unsigned number);
// Every number that opens something, in number order.
std::vector<PortEntry> List();

// Puts the machine's devices in port order and numbers them from 1: USB
// adapters (ttyUSB*, then ttyACM*) first, then the others, numbers in names
// compared as numbers (ttyS2 before ttyS10).
void NumberMachinePorts(std::vector<PortEntry>& entries);
// The serial devices listed under a sysfs tty class folder ("/sys/class/tty"),
// named in `deviceFolder` ("/dev") and numbered; legacy UARTs the kernel found
// no hardware for are left out.
std::vector<PortEntry> ScanTtyClass(const std::string& ttyClassFolder, const std::string& deviceFolder);

// Parses ".\COMn" and "\\.\COMn"; nothing else names a port.
std::optional<unsigned> ParsePortName(const char* name);

}  // namespace platform::ports
