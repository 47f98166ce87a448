#include "machine_ports.h"

namespace platform::ports {

// The USB serial adapters, present or not: the ones plugged in now are
// numbered (new ones remembered) and the others are listed as absent.
std::vector<PortEntry> MachinePorts(const MachineFolders& folders, NumberStore& store) {
  std::vector<PortEntry> present = ScanUsbSerialAdapters(folders);
  std::vector<std::string> identities;
  for (const auto& entry : present) identities.push_back(entry.identity);
  const auto numbers = present.empty() ? store.Known() : store.Remember(identities);
  std::vector<PortEntry> all;
  for (const auto& [number, identity] : numbers) {
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
    all.push_back(std::move(entry));
  }
  return all;
}

}  // namespace platform::ports
