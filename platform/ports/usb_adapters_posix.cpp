// The USB serial adapters plugged in now, read from sysfs, from udev's
// /dev/serial links and its hardware database; no device is opened to find
// them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "device_database.h"
#include "machine_ports.h"
#include "usb_ids.h"

namespace platform::ports {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::optional<unsigned> HexId(const fs::path& file) {
  const std::string text = FirstLine(file);
  if (text.empty()) return std::nullopt;
  try {
    return static_cast<unsigned>(std::stoul(text, nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// tty name -> the link in `folder` that points at it.
std::map<std::string, std::string> LinksByTarget(const fs::path& folder) {
  std::map<std::string, std::string> links;
  std::error_code error;
  for (const auto& link : fs::directory_iterator(folder, error)) {
    const fs::path target = fs::read_symlink(link.path(), error);
    if (!error) links[target.filename().string()] = link.path().string();
    error.clear();
  }
  return links;
}

int DeviceClass(const std::string& path) {
  if (path.find("/ttyUSB") != std::string::npos) return 0;
  if (path.find("/ttyACM") != std::string::npos) return 1;
  return 2;
}

// A USB string as udev puts it into a link's name: blanks folded into one
// '_', anything but letters, digits and #+-.:=@_ replaced by '_'.
std::string UdevName(const std::string& text) {
  std::string name;
  bool blank = false;
  for (unsigned char c : text) {
    if (std::isspace(c)) {
      blank = !name.empty();
      continue;
    }
    if (blank) name += '_';
    blank = false;
    name += std::isalnum(c) || std::strchr("#+-.:=@_", c) != nullptr || c >= 0x80 ? static_cast<char>(c) : '_';
  }
  return name;
}

// Where a USB device sits in the machine.
struct UsbPlace {
  fs::path usb;          // the USB device, with its ids
  fs::path usbInterface; // its interface that the tty belongs to ("1-2:1.0")
  fs::path ttyDevice;    // the tty's own device folder
};

std::optional<UsbPlace> PlaceOf(const fs::path& tty) {
  std::error_code error;
  UsbPlace place;
  place.ttyDevice = fs::canonical(tty / "device", error);
  fs::path dir = place.ttyDevice;
  // The USB device with its ids is a few levels above the tty; a built-in
  // line has none.
  for (int level = 0; level < 6 && !error && dir.has_parent_path() && dir != dir.root_path(); ++level) {
    if (fs::exists(dir / "idVendor", error)) {
      place.usb = dir;
      return place;
    }
    place.usbInterface = dir;
    dir = dir.parent_path();
  }
  return std::nullopt;
}

// The host controller's address ("0000:00:14.0") above the root hub ("usb1").
std::string ControllerOf(const fs::path& usb) {
  for (fs::path dir = usb.parent_path(); dir.has_parent_path() && dir != dir.root_path(); dir = dir.parent_path()) {
    if (dir.filename().string().rfind("usb", 0) == 0) return dir.parent_path().filename().string();
  }
  return {};
}

// The interface number as udev gives it ("00"), from sysfs.
std::string InterfaceNumber(const UsbPlace& place) {
  std::string number = FirstLine(place.usbInterface / "bInterfaceNumber");
  if (!number.empty()) return number;
  const std::string name = place.usbInterface.filename().string();
  const auto dot = name.rfind('.');
  char text[8];
  std::snprintf(text, sizeof text, "%02lx", dot == std::string::npos ? 0ul : std::strtoul(name.c_str() + dot + 1, nullptr, 10));
  return text;
}

// Names this adapter was stored under before its identity came from sysfs
// alone: udev's links (as they are now, or as udev would make them) and the
// descriptions used where there were none.
std::vector<std::string> FormerIdentities(const UsbPlace& place, const PortEntry& entry, const std::string& iface,
                                          const std::string& byPathLink, const MachineFolders& folders) {
  std::vector<std::string> names;
  const std::string portSuffix = [&] {
    const std::string port = FirstLine(place.ttyDevice / "port_number");
    return port.empty() ? std::string() : "-port" + port;
  }();
  const std::string interfaceName = place.usbInterface.filename().string();
  const std::string oldInterface = interfaceName.substr(interfaceName.find(':') == std::string::npos ? 0 : interfaceName.find(':') + 1);
  if (!entry.serialNumber.empty()) {
    if (!entry.byIdLink.empty()) names.push_back(entry.byIdLink);
    std::string vendor = FirstLine(place.usb / "manufacturer"), model = FirstLine(place.usb / "product");
    if (vendor.empty()) vendor = UsbIdText(entry.usbVendorId.value_or(0));
    if (model.empty()) model = UsbIdText(entry.usbProductId.value_or(0));
    names.push_back(folders.serialLinks + "/by-id/usb-" + UdevName(vendor) + "_" + UdevName(model) + "_" +
                    UdevName(entry.serialNumber) + "-if" + iface + portSuffix);
    names.push_back("USB adapter with serial number " + entry.serialNumber + ", interface " + oldInterface);
  } else {
    names.push_back("USB port " + place.usb.filename().string() + ", interface " + oldInterface);
  }
  if (!byPathLink.empty()) names.push_back(byPathLink);
  if (const std::string controller = ControllerOf(place.usb); !controller.empty()) {
    const auto dash = interfaceName.find('-');
    names.push_back(folders.serialLinks + "/by-path/pci-" + controller + "-usb-0:" +
                    interfaceName.substr(dash == std::string::npos ? 0 : dash + 1) + portSuffix);
  }
  return names;
}

}  // namespace

std::vector<PortEntry> ScanUsbSerialAdapters(const MachineFolders& folders) {
  const auto byId = LinksByTarget(fs::path(folders.serialLinks) / "by-id");
  const auto byPath = LinksByTarget(fs::path(folders.serialLinks) / "by-path");
  std::vector<PortEntry> found;
  std::error_code error;
  for (const auto& tty : fs::directory_iterator(folders.ttyClass, error)) {
    const auto place = PlaceOf(tty.path());
    if (!place) continue;
    const fs::path& usb = place->usb;
    const std::string name = tty.path().filename().string();
    PortEntry entry;
    entry.device = folders.devices + "/" + name;
    entry.usbVendorId = HexId(usb / "idVendor");
    entry.usbProductId = HexId(usb / "idProduct");
    entry.description = FirstLine(usb / "product");
    if (entry.description.empty()) entry.description = "USB serial adapter";
    if (entry.usbVendorId && entry.usbProductId) {
      const UsbNames names = CurrentDeviceDatabase().Lookup(*entry.usbVendorId, *entry.usbProductId);
      entry.vendor = names.vendor;
      entry.model = names.model;
    }
    if (entry.vendor.empty()) entry.vendor = FirstLine(usb / "manufacturer");
    if (entry.model.empty()) entry.model = FirstLine(usb / "product");
    entry.serialNumber = FirstLine(usb / "serial");
    if (const auto link = byId.find(name); link != byId.end()) entry.byIdLink = link->second;

    // From sysfs alone, so the same adapter has the same identity before udev
    // has made its links and after. Without a serial number two adapters of
    // one model differ only by where they are plugged in.
    const std::string ids = UsbIdText(entry.usbVendorId.value_or(0)) + ":" + UsbIdText(entry.usbProductId.value_or(0));
    const std::string iface = InterfaceNumber(*place);
    if (!entry.serialNumber.empty()) {
      entry.identity = ids + " with serial number " + entry.serialNumber + ", interface " + iface;
    } else {
      const std::string controller = ControllerOf(usb), ports = usb.filename().string();
      const std::string chain = controller.empty() ? ports : ports.substr(ports.find('-') + 1) + " of " + controller;
      entry.identity = ids + " in USB port " + chain + ", interface " + iface;
    }
    const auto pathLink = byPath.find(name);
    entry.formerIdentities =
        FormerIdentities(*place, entry, iface, pathLink == byPath.end() ? std::string() : pathLink->second, folders);
    found.push_back(std::move(entry));
  }
  // Adapters seen together for the first time are numbered in name order,
  // numbers in names compared as numbers (ttyUSB2 before ttyUSB10).
  std::sort(found.begin(), found.end(), [](const PortEntry& a, const PortEntry& b) {
    const int ca = DeviceClass(a.device), cb = DeviceClass(b.device);
    return ca != cb ? ca < cb : strverscmp(a.device.c_str(), b.device.c_str()) < 0;
  });
  return found;
}

}  // namespace platform::ports
