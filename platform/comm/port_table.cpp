#include "port_table.h"

#include <cstring>

#include "machine_ports.h"
#include "serial_device.h"

namespace platform::ports {
namespace {

struct Mapping {
  std::shared_ptr<CommEndpoint> endpoint;
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

std::map<unsigned, std::string> NumberNewIdentities(const std::map<unsigned, std::string>& known,
                                                    const std::vector<std::string>& identities) {
  std::map<unsigned, std::string> all = known, given;
  for (const std::string& identity : identities) {
    bool numbered = false;
    for (const auto& [number, existing] : all) numbered = numbered || existing == identity;
    if (numbered) continue;
    unsigned number = 1;
    while (all.count(number) != 0) ++number;
    all[number] = identity;
    given[number] = identity;
  }
  return given;
}

void MapDevice(unsigned number, std::string devicePath) {
  PortEntry entry;
  entry.number = number;
  entry.device = devicePath;
  entry.description = "mapped device";
  State().explicitPorts[number] = {MakeSerialDeviceEndpoint(std::move(devicePath)), entry};
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

std::vector<PortEntry> List() {
  std::map<unsigned, PortEntry> merged;
  if (State().useMachinePorts) {
    for (PortEntry& entry : MachinePorts(State().folders, Store())) merged[entry.number] = std::move(entry);
  }
  for (const auto& [number, mapping] : State().explicitPorts) merged[number] = mapping.entry;
  std::vector<PortEntry> all;
  for (auto& [number, entry] : merged) all.push_back(std::move(entry));
  return all;
}

std::optional<PortEntry> Describe(unsigned number) {
  const auto mapped = State().explicitPorts.find(number);
  if (mapped != State().explicitPorts.end()) return mapped->second.entry;
  if (!State().useMachinePorts) return std::nullopt;
  for (PortEntry& entry : MachinePorts(State().folders, Store())) {
    if (entry.number == number) return std::move(entry);
  }
  return std::nullopt;
}

std::shared_ptr<CommEndpoint> Resolve(unsigned number) {
  const auto mapped = State().explicitPorts.find(number);
  if (mapped != State().explicitPorts.end()) return mapped->second.endpoint;
  const auto entry = number == 0 ? std::nullopt : Describe(number);
  if (!entry || !entry->present) return nullptr;
  return MakeSerialDeviceEndpoint(entry->device);
}

std::optional<unsigned> ParsePortName(const char* name) {
  if (name == nullptr) return std::nullopt;
  const char* digits = nullptr;
  if (std::strncmp(name, "\\\\.\\COM", 7) == 0) {
    digits = name + 7;
  } else if (std::strncmp(name, ".\\COM", 5) == 0) {
    digits = name + 5;
  } else {
    return std::nullopt;
  }
  if (*digits == '\0') return std::nullopt;
  unsigned long long value = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(*c - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<unsigned>(value);
}

}  // namespace platform::ports
