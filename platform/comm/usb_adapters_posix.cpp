// The USB serial adapters plugged in now, read from sysfs, from udev's
// /dev/serial links and its hardware database; no device is opened to find
// them.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>

#include "device_database.h"
#include "port_table.h"

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

// Numbers in names compared as numbers: ttyUSB2 before ttyUSB10.
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

}  // namespace

std::vector<PortEntry> ScanUsbSerialAdapters(const MachineFolders& folders) {
  const auto byId = LinksByTarget(fs::path(folders.serialLinks) / "by-id");
  const auto byPath = LinksByTarget(fs::path(folders.serialLinks) / "by-path");
  std::vector<PortEntry> found;
  std::error_code error;
  for (const auto& tty : fs::directory_iterator(folders.ttyClass, error)) {
    // The USB device with its ids is a few levels above the tty; a built-in
    // line has none.
    fs::path dir = fs::canonical(tty.path() / "device", error);
    fs::path usb, usbInterface;
    for (int level = 0; level < 6 && !error && dir.has_parent_path() && dir != dir.root_path(); ++level) {
      if (fs::exists(dir / "idVendor", error)) {
        usb = dir;
        break;
      }
      usbInterface = dir;
      dir = dir.parent_path();
    }
    error.clear();
    if (usb.empty()) continue;

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
    const std::string serial = FirstLine(usb / "serial");
    entry.serialNumber = serial;
    if (const auto link = byId.find(name); link != byId.end()) entry.byIdLink = link->second;
    // Without a serial number udev's by-id name is the same for two adapters
    // of one model; the USB port tells them apart.
    if (const auto link = byId.find(name); !serial.empty() && link != byId.end()) {
      entry.identity = link->second;
    } else if (const auto port = byPath.find(name); port != byPath.end()) {
      entry.identity = port->second;
    } else {
      const std::string iface = usbInterface.filename().string();
      const std::string ifaceNumber = iface.substr(iface.find(':') == std::string::npos ? 0 : iface.find(':') + 1);
      entry.identity = serial.empty() ? "USB port " + usb.filename().string() + ", interface " + ifaceNumber
                                      : "USB adapter with serial number " + serial + ", interface " + ifaceNumber;
    }
    found.push_back(std::move(entry));
  }
  // Adapters seen together for the first time are numbered in name order.
  std::sort(found.begin(), found.end(), [](const PortEntry& a, const PortEntry& b) {
    const int ca = DeviceClass(a.device), cb = DeviceClass(b.device);
    return ca != cb ? ca < cb : NaturalLess(a.device, b.device);
  });
  return found;
}

}  // namespace platform::ports
