// Which device a port number ("COM3") opens on this machine.
//
// As Windows keeps COM numbers, a USB serial adapter takes the lowest free
// number the first time it is seen and keeps it for good, remembered by a
// stable identity (its /dev/serial/by-id name when it has a serial number,
// else the USB port it is plugged into). A number whose adapter is absent
// opens nothing. Built-in lines get no number (one is often the console);
// they stay reachable by path. An explicit mapping (a device path or a
// simulated endpoint) takes precedence. Tests switch the machine's devices
// off so that only what they map can open.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm_device.h"

namespace platform::ports {

struct PortEntry {
  unsigned number = 0;
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
};

void MapDevice(unsigned number, std::string devicePath);
void MapEndpoint(unsigned number, std::shared_ptr<CommEndpoint> endpoint);
void Unmap(unsigned number);
void UnmapAll();
void UseMachinePorts(bool use);

// The endpoint behind a number, or null when none is (or its adapter is absent).
std::shared_ptr<CommEndpoint> Resolve(unsigned number);
std::optional<PortEntry> Describe(unsigned number);
// Every number that is mapped or known, present or not, in number order.
std::vector<PortEntry> List();

// Where the machine's devices are looked up; tests point these at a tree of
// their own.
struct MachineFolders {
  std::string ttyClass = "/sys/class/tty";
  std::string devices = "/dev";
  std::string serialLinks = "/dev/serial";
};
void UseMachineFolders(MachineFolders folders);

// The USB serial adapters plugged in now, from sysfs, udev's links and its
// hardware database alone: nothing is opened to find them. Numbers are not
// given here.
std::vector<PortEntry> ScanUsbSerialAdapters(const MachineFolders& folders);

// Where the numbers are remembered: number -> identity.
class NumberStore {
 public:
  virtual ~NumberStore() = default;
  virtual std::map<unsigned, std::string> Known() = 0;
  // Numbers the identities not yet known, remembers them, returns all numbers.
  virtual std::map<unsigned, std::string> Remember(const std::vector<std::string>& identities) = 0;
};
// The store under the settings key; it keeps numbers in memory for this run
// when neither the machine-wide nor the per-user copy can be written.
std::shared_ptr<NumberStore> RegistryNumberStore();
std::shared_ptr<NumberStore> MemoryNumberStore();
void UseNumberStore(std::shared_ptr<NumberStore> store);  // null restores the registry store

// Gives each identity not in `known` the lowest free number, in the order
// given, and returns the numbers given.
std::map<unsigned, std::string> NumberNewIdentities(const std::map<unsigned, std::string>& known,
                                                    const std::vector<std::string>& identities);

// Parses ".\COMn" and "\\.\COMn"; nothing else names a port.
std::optional<unsigned> ParsePortName(const char* name);

}  // namespace platform::ports
