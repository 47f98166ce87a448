#include "port_listing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "adapter_quirks.h"

namespace cli {
namespace {

using platform::ports::PortEntry;

std::string HexId(unsigned id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", id & 0xFFFF);
  return text;
}

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

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string PortsAsText(const std::vector<PortEntry>& ports) {
  if (ports.empty()) {
    return "No serial devices found. USB serial adapters are numbered when they are\n"
           "plugged in; built-in lines are reached by their path (--device).\n";
  }
  std::string text = "Port  Device          What it is\n";
  for (const PortEntry& entry : ports) {
    char head[64];
    std::snprintf(head, sizeof head, "%-5u %-15s ", entry.number, entry.present ? entry.device.c_str() : "-");
    text += head;
    text += entry.present ? Names(entry) : "not plugged in";
    text += "\n";
    std::string details;
    if (HasUsbIds(entry)) details = "USB id " + HexId(*entry.usbVendorId) + ":" + HexId(*entry.usbProductId);
    if (!entry.serialNumber.empty()) details += (details.empty() ? "" : ", ") + ("serial number " + entry.serialNumber);
    if (!details.empty()) text += "      " + details + "\n";
    if (CannotHoldTheBreak(entry)) text += "      cannot hold the 1.2 s break (CH340/CH341 driver)\n";
    const std::string& name = entry.byIdLink.empty() ? entry.identity : entry.byIdLink;
    if (!name.empty()) text += "      " + name + "\n";
  }
  return text;
}

std::string PortsAsJson(const std::vector<PortEntry>& ports) {
  QJsonArray list;
  for (const PortEntry& entry : ports) {
    QJsonObject port{{"port", static_cast<int>(entry.number)},
                     {"present", entry.present},
                     {"device", entry.present ? QJsonValue(Text(entry.device)) : QJsonValue()},
                     {"description", Text(entry.description)},
                     {"vendor", Text(entry.vendor)},
                     {"model", Text(entry.model)},
                     {"serialNumber", Text(entry.serialNumber)},
                     {"byId", Text(entry.byIdLink)},
                     {"identity", Text(entry.identity)},
                     {"holdsLongBreak", !CannotHoldTheBreak(entry)}};
    if (HasUsbIds(entry)) {
      port["usbVendorId"] = Text(HexId(*entry.usbVendorId));
      port["usbProductId"] = Text(HexId(*entry.usbProductId));
    }
    list.append(port);
  }
  return QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace cli
