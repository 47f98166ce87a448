#include "machine_ports.h"

namespace platform::ports {

// The USB serial adapters, present or not: the ones plugged in now are
// numbered (new ones remembered) and the others are listed as absent. When
// the stored numbers cannot be read, the adapters plugged in are listed by
// their paths alone, numbered 0.
PortList MachinePorts(const MachineFolders& folders, NumberStore& store) {
  std::vector<PortEntry> present = ScanUsbSerialAdapters(folders);
  const StoredNumbers numbers = present.empty() ? store.Known() : store.Remember(present);
  PortList list;
  if (!numbers.problem.empty()) {
    list.problem = numbers.problem;
    list.ports = std::move(present);
    return list;
  }
  for (const auto& [number, identity] : numbers.numbers) {
    PortEntry entry;
    for (const auto& adapter : present) {
      if (adapter.identity == identity) entry = adapter;
    }
    if (entry.identity.empty()) {
      entry.identity = identity;
      entry.present = false;
      entry.description = "not plugged in";
    }
    entry.number = number;
    list.ports.push_back(std::move(entry));
  }
  return list;
}

const char* DeviceExample() { return "/dev/ttyUSB0"; }

}  // namespace platform::ports
