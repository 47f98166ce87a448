// Windows numbers its serial ports itself and lists the ones present under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM ("\Device\VCP0" = "COM3"); nothing is
// opened to read them.
#include <algorithm>

#include "machine_ports.h"
#include "port_name.h"
#include "registry_values_windows.h"

namespace platform::ports {

PortList MachinePorts(const MachineFolders&, NumberStore&) {
  PortList list;
  std::vector<PortEntry>& ports = list.ports;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return list;
  }
  registry::ForEachValue(key, [&ports](const char* name, DWORD type, const BYTE* data, DWORD) {
    if (type != REG_SZ) return;
    const std::string port(reinterpret_cast<const char*>(data));
    const auto number = ParsePortName(("\\\\.\\" + port).c_str());
    if (!number) return;
    PortEntry entry;
    entry.number = *number;
    entry.device = port;
    entry.description = name;  // the driver's device, e.g. \Device\VCP0
    entry.identity = port;
    ports.push_back(std::move(entry));
  });
  ::RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
  return list;
}

}  // namespace platform::ports
