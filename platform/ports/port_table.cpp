#include "port_table.h"

#include <map>

#include "services.h"

namespace platform::ports {
namespace {

const std::map<unsigned, PortMapping>& Mapped() { return InstalledServices().portMap; }

// None installed: the registry's, made at first use and kept in the record,
// so that a record installed anew starts with a store read anew.
NumberStore& Store() {
  std::shared_ptr<NumberStore>& store = InstalledServicesToChange().numberStore;
  if (!store) store = RegistryNumberStore();
  return *store;
}

PortList MachinePortsNow() { return MachinePorts(InstalledServices().machineFolders, Store()); }

PortEntry EntryOf(unsigned number, const PortMapping& mapping) {
  PortEntry entry;
  entry.number = number;
  if (mapping.endpoint) {
    entry.device = entry.description = mapping.endpoint->Description();
    entry.simulated = true;
  } else {
    entry.device = mapping.device;
    entry.description = "mapped device";
  }
  return entry;
}

}  // namespace

void MapDevice(unsigned number, std::string devicePath) {
  InstalledServicesToChange().portMap[number] = {nullptr, std::move(devicePath)};
}

void MapEndpoint(unsigned number, std::shared_ptr<CommEndpoint> endpoint) {
  InstalledServicesToChange().portMap[number] = {std::move(endpoint), {}};
}

void Unmap(unsigned number) { InstalledServicesToChange().portMap.erase(number); }
void UnmapAll() { InstalledServicesToChange().portMap.clear(); }

PortList List() {
  std::map<unsigned, PortEntry> merged;
  PortList list;
  std::vector<PortEntry> unnumbered;
  if (InstalledServices().machinePorts) {
    PortList machine = MachinePortsNow();
    list.problem = std::move(machine.problem);
    for (PortEntry& entry : machine.ports) {
      if (entry.number == 0) unnumbered.push_back(std::move(entry));
      else merged[entry.number] = std::move(entry);
    }
  }
  for (const auto& [number, mapping] : Mapped()) merged[number] = EntryOf(number, mapping);
  list.ports = std::move(unnumbered);
  for (auto& [number, entry] : merged) list.ports.push_back(std::move(entry));
  return list;
}

std::optional<PortEntry> Describe(unsigned number) {
  const auto mapped = Mapped().find(number);
  if (mapped != Mapped().end()) return EntryOf(number, mapped->second);
  if (!InstalledServices().machinePorts) return std::nullopt;
  for (PortEntry& entry : MachinePortsNow().ports) {
    if (entry.number != 0 && entry.number == number) return std::move(entry);
  }
  return std::nullopt;
}

std::shared_ptr<CommEndpoint> Resolve(unsigned number, LineMaker makeLine) {
  const auto mapped = Mapped().find(number);
  if (mapped != Mapped().end()) {
    const PortMapping& mapping = mapped->second;
    return mapping.endpoint ? mapping.endpoint : makeLine(mapping.device);
  }
  const auto entry = number == 0 ? std::nullopt : Describe(number);
  if (!entry || !entry->present) return nullptr;
  return makeLine(entry->device);
}

}  // namespace platform::ports
