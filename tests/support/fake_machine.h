// A machine's sysfs and /dev/serial trees of our own, for the port numbers
// and --all without the machine's devices.
#pragma once

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>

#include "port_entry.h"

namespace testing_support {

// The kernel's and udev's view of USB serial adapters being plugged in and out,
// on a PCI host controller; udev's links come when udev gets to them.
class FakeMachine {
 public:
  FakeMachine() : root_(dir_.path().toStdString()) {
    std::filesystem::create_directories(root_ / "sys/class/tty");
    std::filesystem::create_directories(root_ / "dev/serial/by-id");
    std::filesystem::create_directories(root_ / "dev/serial/by-path");
  }

  platform::ports::MachineFolders Folders() const {
    return {(root_ / "sys/class/tty").string(), "/fake-dev", (root_ / "dev/serial").string()};
  }

  // An adapter on USB port `usbPort` ("1-2"): an FTDI with its serial number,
  // or, with none, a CH340.
  void Plug(const std::string& tty, const std::string& usbPort, const std::string& product, const std::string& serial,
            bool links = true) {
    const std::filesystem::path usb = root_ / "sys/devices/pci0000:00/0000:00:14.0/usb1" / usbPort;
    Write(usb / "idVendor", serial.empty() ? "1a86" : "0403");
    Write(usb / "idProduct", serial.empty() ? "7523" : "6001");
    Write(usb / "product", product);
    if (!serial.empty()) Write(usb / "manufacturer", "FTDI");
    if (!serial.empty()) Write(usb / "serial", serial);
    Write(usb / (usbPort + ":1.0") / "bInterfaceNumber", "00");
    const std::filesystem::path port = usb / (usbPort + ":1.0") / tty;
    Write(port / "port_number", "0");
    std::filesystem::create_directories(root_ / "sys/class/tty" / tty);
    std::filesystem::create_directory_symlink(port, root_ / "sys/class/tty" / tty / "device");
    plugged_[tty] = {usbPort, product, serial};
    if (links) MakeLinks(tty);
  }

  // What udev does once it has seen the adapter.
  void MakeLinks(const std::string& tty) {
    const auto& [usbPort, product, serial] = plugged_.at(tty);
    std::filesystem::create_symlink("../../" + tty, ById(product, serial));
    std::filesystem::create_symlink("../../" + tty, ByPath(usbPort));
  }

  void Unplug(const std::string& tty) {
    std::filesystem::remove_all(root_ / "sys/class/tty" / tty);
    for (const char* folder : {"dev/serial/by-id", "dev/serial/by-path"}) {
      for (const auto& link : std::filesystem::directory_iterator(root_ / folder)) {
        if (std::filesystem::read_symlink(link.path()).filename() == tty) std::filesystem::remove(link.path());
      }
    }
  }

  void BuiltIn(const std::string& tty) {
    std::filesystem::create_directories(root_ / "sys/devices/serial8250" / tty);
    std::filesystem::create_directories(root_ / "sys/class/tty" / tty);
    std::filesystem::create_directory_symlink(root_ / "sys/devices/serial8250" / tty, root_ / "sys/class/tty" / tty / "device");
  }

  // udev's names: vendor, model and serial number, or where it is plugged in.
  std::string ById(const std::string& product, const std::string& serial) const {
    const std::string name = serial.empty() ? "usb-1a86_" + product : "usb-FTDI_" + product + "_" + serial;
    return (root_ / "dev/serial/by-id" / (name + "-if00-port0")).string();
  }
  std::string ByPath(const std::string& usbPort) const {
    return (root_ / "dev/serial/by-path" / ("pci-0000:00:14.0-usb-0:" + usbPort.substr(2) + ":1.0-port0")).string();
  }

 private:
  static void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }

  QTemporaryDir dir_;
  std::filesystem::path root_;
  std::map<std::string, std::tuple<std::string, std::string, std::string>> plugged_;
};

}  // namespace testing_support
