#include "port_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "qt_serial_device.h"

namespace platform::ports {
namespace {

struct Mapping {
  std::shared_ptr<CommEndpoint> endpoint;
  PortEntry entry;
};

struct Table {
  std::map<unsigned, Mapping> explicitPorts;
  bool useMachinePorts = true;
};

Table& State() {
  static Table table;
  return table;
}

int DeviceClass(const std::string& path) {
  if (path.find("/ttyUSB") != std::string::npos) return 0;
  if (path.find("/ttyACM") != std::string::npos) return 1;
  return 2;
}

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ei = i, ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      const auto na = std::stoull(a.substr(i, ei - i)), nb = std::stoull(b.substr(j, ej - j));
      if (na != nb) return na < nb;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::optional<unsigned> HexId(const std::filesystem::path& file) {
  const std::string text = FirstLine(file);
  if (text.empty()) return std::nullopt;
  try {
    return static_cast<unsigned>(std::stoul(text, nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::vector<PortEntry> MachinePorts() { return ScanTtyClass("/sys/class/tty", "/dev"); }

}  // namespace

// From sysfs alone: no device is opened to find them (probing a legacy port by
// opening it can disturb a console on it).
std::vector<PortEntry> ScanTtyClass(const std::string& ttyClassFolder, const std::string& deviceFolder) {
  namespace fs = std::filesystem;
  std::vector<PortEntry> found;
  std::error_code error;
  for (const auto& tty : fs::directory_iterator(ttyClassFolder, error)) {
    const fs::path device = tty.path() / "device";
    if (!fs::exists(device, error)) continue;  // virtual terminals and ptys have no device
    // Legacy UARTs are listed whether or not one is fitted; their type says.
    if (fs::exists(tty.path() / "type", error) && FirstLine(tty.path() / "type") == "0") continue;
    PortEntry entry;
    entry.device = deviceFolder + "/" + tty.path().filename().string();
    // A USB adapter: the USB device with its ids is a few levels up.
    fs::path dir = fs::canonical(device, error);
    for (int level = 0; level < 6 && !error && dir.has_parent_path() && dir != dir.root_path(); ++level) {
      if (fs::exists(dir / "idVendor", error)) {
        entry.usbVendorId = HexId(dir / "idVendor");
        entry.usbProductId = HexId(dir / "idProduct");
        entry.description = FirstLine(dir / "product");
        if (entry.description.empty()) entry.description = "USB serial adapter";
        break;
      }
      dir = dir.parent_path();
    }
    if (entry.description.empty()) entry.description = "built-in serial port";
    error.clear();
    found.push_back(std::move(entry));
  }
  NumberMachinePorts(found);
  return found;
}

void NumberMachinePorts(std::vector<PortEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
    const int ca = DeviceClass(a.device), cb = DeviceClass(b.device);
    return ca != cb ? ca < cb : NaturalLess(a.device, b.device);
  });
  for (size_t i = 0; i < entries.size(); ++i) entries[i].number = static_cast<unsigned>(i + 1);
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

std::vector<PortEntry> List() {
  std::map<unsigned, PortEntry> merged;
  if (State().useMachinePorts) {
    for (PortEntry& entry : MachinePorts()) merged[entry.number] = std::move(entry);
  }
  for (const auto& [number, mapping] : State().explicitPorts) merged[number] = mapping.entry;
  std::vector<PortEntry> all;
  for (auto& [number, entry] : merged) all.push_back(std::move(entry));
  return all;
}

std::optional<PortEntry> Describe(unsigned number) {
  for (PortEntry& entry : List()) {
    if (entry.number == number) return std::move(entry);
  }
  return std::nullopt;
}

std::shared_ptr<CommEndpoint> Resolve(unsigned number) {
  const auto found = State().explicitPorts.find(number);
  if (found != State().explicitPorts.end()) return found->second.endpoint;
  if (!State().useMachinePorts || number == 0) return nullptr;
  const std::vector<PortEntry> machine = MachinePorts();
  if (number > machine.size()) return nullptr;
  return MakeSerialDeviceEndpoint(machine[number - 1].device);
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
