// Windows numbers its serial ports itself and lists the ones present under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM ("\Device\VCP0" = "COM3"); nothing is
// opened to read them.
#include <algorithm>

#include "machine_ports.h"

namespace platform::ports {

std::vector<PortEntry> MachinePorts(const MachineFolders&, NumberStore&) {
  std::vector<PortEntry> ports;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    char name[256];
    BYTE data[64];
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LSTATUS status = ::RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataSize] = 0;
    const std::string port(reinterpret_cast<const char*>(data));
    const auto number = ParsePortName(("\\\\.\\" + port).c_str());
    if (!number) continue;
    PortEntry entry;
    entry.number = *number;
    entry.device = port;
    entry.description = name;  // the driver's device, e.g. \Device\VCP0
    entry.identity = port;
    ports.push_back(std::move(entry));
  }
  ::RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
  return ports;
}

}  // namespace platform::ports
