#include "port_table.h"

#include <map>

namespace platform::ports {
namespace {

struct Mapping {
  std::shared_ptr<CommEndpoint> endpoint;  // null: the line at entry.device
  PortEntry entry;
};

struct Table {
  std::map<unsigned, Mapping> explicitPorts;
  bool useMachinePorts = true;
  MachineFolders folders;
  std::shared_ptr<NumberStore> store;
};

Table& State() {
  static Table table;
  return table;
}

NumberStore& Store() {
  if (!State().store) State().store = RegistryNumberStore();
  return *State().store;
}

}  // namespace

void MapDevice(unsigned number, std::string devicePath) {
  PortEntry entry;
  entry.number = number;
  entry.device = std::move(devicePath);
  entry.description = "mapped device";
  State().explicitPorts[number] = {nullptr, entry};
}

void MapEndpoint(unsigned number, std::shared_ptr<CommEndpoint> endpoint) {
  PortEntry entry;
  entry.number = number;
  entry.device = endpoint->Description();
  entry.description = endpoint->Description();
  entry.simulated = true;
  State().explicitPorts[number] = {std::move(endpoint), entry};
}

void Unmap(unsigned number) { State().explicitPorts.erase(number); }
void UnmapAll() { State().explicitPorts.clear(); }
void UseMachinePorts(bool use) { State().useMachinePorts = use; }
void UseMachineFolders(MachineFolders folders) { State().folders = std::move(folders); }
void UseNumberStore(std::shared_ptr<NumberStore> store) { State().store = std::move(store); }

PortList List() {
  std::map<unsigned, PortEntry> merged;
  PortList list;
  std::vector<PortEntry> unnumbered;
  if (State().useMachinePorts) {
    PortList machine = MachinePorts(State().folders, Store());
    list.problem = std::move(machine.problem);
    for (PortEntry& entry : machine.ports) {
      if (entry.number == 0) unnumbered.push_back(std::move(entry));
      else merged[entry.number] = std::move(entry);
    }
  }
  for (const auto& [number, mapping] : State().explicitPorts) merged[number] = mapping.entry;
  list.ports = std::move(unnumbered);
  for (auto& [number, entry] : merged) list.ports.push_back(std::move(entry));
  return list;
}

std::optional<PortEntry> Describe(unsigned number) {
  const auto mapped = State().explicitPorts.find(number);
  if (mapped != State().explicitPorts.end()) return mapped->second.entry;
  if (!State().useMachinePorts) return std::nullopt;
  for (PortEntry& entry : MachinePorts(State().folders, Store()).ports) {
    if (entry.number != 0 && entry.number == number) return std::move(entry);
  }
  return std::nullopt;
}

std::shared_ptr<CommEndpoint> Resolve(unsigned number, LineMaker makeLine) {
  const auto mapped = State().explicitPorts.find(number);
  if (mapped != State().explicitPorts.end()) {
    const Mapping& mapping = mapped->second;
    return mapping.endpoint ? mapping.endpoint : makeLine(mapping.entry.device);
  }
  const auto entry = number == 0 ? std::nullopt : Describe(number);
  if (!entry || !entry->present) return nullptr;
  return makeLine(entry->device);
}

}  // namespace platform::ports
