// Windows numbers its serial ports itself and lists the ones present under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM ("\Device\VCP0" = "COM3"); the Ports
// class of SetupAPI gives each the name Device Manager shows ("USB Serial
// Port (COM3)") and its USB ids. Nothing is opened to read them.
#include <algorithm>
#include <map>

#include "machine_ports.h"
#include "port_name.h"
#include "registry_values_windows.h"
#include "usb_ids.h"
// After windows.h (through registry_values_windows.h), which they need.
#include <devguid.h>
#include <setupapi.h>

namespace platform::ports {
namespace {

struct DeviceNames {
  std::string friendly;
  std::optional<std::pair<unsigned, unsigned>> usbIds;
};

std::string Property(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  char text[512] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                         sizeof text - 1, nullptr)) {
    return {};
  }
  return text;  // the first string of a list (hardware ids) is the most specific
}

// Port name ("COM3") -> what Device Manager calls the device.
std::map<std::string, DeviceNames> PortsClassNames() {
  std::map<std::string, DeviceNames> names;
  const HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    char port[64] = {};
    DWORD size = sizeof port - 1, type = 0;
    const bool named = RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) ==
                           ERROR_SUCCESS && type == REG_SZ;
    RegCloseKey(key);
    if (!named) continue;
    names[port] = {Property(devices, device, SPDRP_FRIENDLYNAME),
                   UsbIdsOfHardwareId(Property(devices, device, SPDRP_HARDWAREID))};
  }
  SetupDiDestroyDeviceInfoList(devices);
  return names;
}

}  // namespace

PortList MachinePorts(const MachineFolders&, NumberStore&) {
  PortList list;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return list;
  }
  std::map<unsigned, PortEntry> ports;  // each number once
  registry::ForEachValue(key, [&ports](const char* name, DWORD type, const BYTE* data, DWORD) {
    if (type != REG_SZ) return;
    const std::string port(reinterpret_cast<const char*>(data));
    const auto number = ParsePortName(("\\\\.\\" + port).c_str());
    if (!number || ports.count(*number) != 0) return;
    PortEntry entry;
    entry.number = *number;
    entry.device = port;
    entry.description = name;  // the driver's device, e.g. \Device\VCP0, unless SetupAPI names it
    entry.identity = port;
    ports[*number] = std::move(entry);
  });
  ::RegCloseKey(key);
  const auto names = PortsClassNames();
  for (auto& [number, entry] : ports) {
    const auto named = names.find(entry.device);
    if (named != names.end() && !named->second.friendly.empty()) {
      entry.description = entry.model = named->second.friendly;
      if (named->second.usbIds) {
        entry.usbVendorId = named->second.usbIds->first;
        entry.usbProductId = named->second.usbIds->second;
      }
    }
    list.ports.push_back(std::move(entry));
  }
  return list;
}

const char* DeviceExample() { return "COM3"; }

}  // namespace platform::ports
