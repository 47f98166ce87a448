#include "port_listing.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "adapter_quirks.h"
#include "usb_ids.h"

namespace cli {
namespace {

using platform::ports::PortEntry;

bool HasUsbIds(const PortEntry& entry) { return entry.usbVendorId && entry.usbProductId; }

bool CannotHoldTheBreak(const PortEntry& entry) {
  return HasUsbIds(entry) && CannotHoldLongBreak(*entry.usbVendorId, *entry.usbProductId);
}

// "FT232 Serial (UART) IC, Future Technology Devices International, Ltd"
std::string Names(const PortEntry& entry) {
  std::string names = entry.model.empty() ? entry.description : entry.model;
  if (!entry.vendor.empty()) names += (names.empty() ? "" : ", ") + entry.vendor;
  return names;
}

}  // namespace

std::string PortsAsText(const std::vector<PortEntry>& ports) {
  if (ports.empty()) {
    return "No serial devices found. USB serial adapters are numbered when they are\n"
           "plugged in; built-in lines are reached by their path (--device).\n";
  }
  std::string text = "Port  Device          What it is\n";
  for (const PortEntry& entry : ports) {
    char head[64];
    const std::string number = entry.number == 0 ? "-" : std::to_string(entry.number);
    std::snprintf(head, sizeof head, "%-5s %-15s ", number.c_str(), entry.present ? entry.device.c_str() : "-");
    text += head;
    text += entry.present ? Names(entry) : "not plugged in";
    text += "\n";
    std::string details;
    if (HasUsbIds(entry)) details = "USB id " + platform::ports::UsbIdText(*entry.usbVendorId) + ":" + platform::ports::UsbIdText(*entry.usbProductId);
    if (!entry.serialNumber.empty()) details += (details.empty() ? "" : ", ") + ("serial number " + entry.serialNumber);
    if (!details.empty()) text += "      " + details + "\n";
    if (CannotHoldTheBreak(entry)) text += "      cannot hold the 1.2 s break (CH340/CH341 driver)\n";
    const std::string& name = entry.byIdLink.empty() ? entry.identity : entry.byIdLink;
    if (!name.empty()) text += "      " + name + "\n";
  }
  return text;
}

std::string PortsAsJson(const std::vector<PortEntry>& ports) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const PortEntry& entry : ports) {
    nlohmann::ordered_json port = {{"port", entry.number == 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(entry.number)},
                                   {"present", entry.present},
                                   {"device", entry.present ? nlohmann::ordered_json(entry.device) : nullptr},
                                   {"description", entry.description},
                                   {"vendor", entry.vendor},
                                   {"model", entry.model},
                                   {"serialNumber", entry.serialNumber},
                                   {"byId", entry.byIdLink},
                                   {"identity", entry.identity},
                                   {"holdsLongBreak", !CannotHoldTheBreak(entry)}};
    if (HasUsbIds(entry)) {
      port["usbVendorId"] = platform::ports::UsbIdText(*entry.usbVendorId);
      port["usbProductId"] = platform::ports::UsbIdText(*entry.usbProductId);
    }
    list.push_back(std::move(port));
  }
  // Text that is not UTF-8 (a device's own strings) is replaced, not fatal.
  return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace cli
