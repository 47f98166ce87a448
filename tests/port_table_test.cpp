#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "corvane_emulator.h"
#include "port_table.h"

namespace {

using platform::ports::PortEntry;

// Names only: the ordering goes by them, nothing is opened or even looked up.
TEST(PortTableTest, MachineDevicesAreNumberedUsbAdaptersFirst) {
  std::vector<PortEntry> entries;
  for (const char* path : {"/fake/ttyS10", "/fake/ttyACM0", "/fake/ttyS2", "/fake/ttyUSB10", "/fake/ttyAMA0",
                           "/fake/ttyUSB2", "/fake/ttyS0"}) {
    entries.push_back({0, path, "", {}, {}, false});
  }
  platform::ports::NumberMachinePorts(entries);
  std::vector<std::string> order;
  for (const auto& e : entries) order.push_back(std::to_string(e.number) + " " + e.device);
  EXPECT_EQ(order, (std::vector<std::string>{"1 /fake/ttyUSB2", "2 /fake/ttyUSB10", "3 /fake/ttyACM0",
                                             "4 /fake/ttyAMA0", "5 /fake/ttyS0", "6 /fake/ttyS2", "7 /fake/ttyS10"}));
}

// A small sysfs of our own: a CH340 adapter, an FTDI one, a fitted UART, an
// empty legacy UART slot and a virtual terminal.
TEST(PortTableTest, ScansSysfsWithoutOpeningDevices) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  const fs::path root = dir.path().toStdString();
  auto write = [](const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  };
  auto usbAdapter = [&](const std::string& tty, const std::string& vid, const std::string& pid,
                        const std::string& product) {
    const fs::path usb = root / "devices" / ("usb-" + tty);
    write(usb / "idVendor", vid);
    write(usb / "idProduct", pid);
    if (!product.empty()) write(usb / "product", product);
    fs::create_directories(usb / "1-1:1.0" / tty);
    fs::create_directories(root / "class" / tty);
    fs::create_directory_symlink(usb / "1-1:1.0" / tty, root / "class" / tty / "device");
  };
  usbAdapter("ttyUSB0", "1a86", "7523", "USB Serial");
  usbAdapter("ttyACM0", "0403", "6001", "");
  write(root / "class/ttyS0/type", "4");
  fs::create_directories(root / "devices/serial8250/ttyS0");
  fs::create_directory_symlink(root / "devices/serial8250/ttyS0", root / "class/ttyS0/device");
  write(root / "class/ttyS1/type", "0");
  fs::create_directories(root / "devices/serial8250/ttyS1");
  fs::create_directory_symlink(root / "devices/serial8250/ttyS1", root / "class/ttyS1/device");
  fs::create_directories(root / "class/tty0");

  const auto ports = platform::ports::ScanTtyClass((root / "class").string(), "/fake-dev");
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0].device, "/fake-dev/ttyUSB0");
  EXPECT_EQ(ports[0].description, "USB Serial");
  EXPECT_EQ(ports[0].usbVendorId, 0x1a86u);
  EXPECT_EQ(ports[0].usbProductId, 0x7523u);
  EXPECT_EQ(ports[1].device, "/fake-dev/ttyACM0");
  EXPECT_EQ(ports[1].description, "USB serial adapter");
  EXPECT_EQ(ports[1].usbVendorId, 0x0403u);
  EXPECT_EQ(ports[2].device, "/fake-dev/ttyS0");
  EXPECT_EQ(ports[2].description, "built-in serial port");
  EXPECT_FALSE(ports[2].usbVendorId.has_value());
  EXPECT_EQ(ports[2].number, 3u);
}

TEST(PortTableTest, ParsesOnlyTheTwoComNameForms) {
  EXPECT_EQ(platform::ports::ParsePortName(".\\COM3"), 3u);
  EXPECT_EQ(platform::ports::ParsePortName("\\\\.\\COM12"), 12u);
  EXPECT_EQ(platform::ports::ParsePortName("\\\\.\\COM4294967295"), 4294967295u);
  for (const char* name : {"COM3", ".\\com3", ".\\COM", ".\\COM3x", "\\\\.\\COM4294967296", "/nonexistent/ttyUSB0", ""}) {
    EXPECT_FALSE(platform::ports::ParsePortName(name).has_value()) << name;
  }
  EXPECT_FALSE(platform::ports::ParsePortName(nullptr).has_value());
}

TEST(PortTableTest, ExplicitMappingsAreListedAndResolved) {
  platform::ports::UnmapAll();
  auto device = emulator::CorvaneEmulator::Create();
  platform::ports::MapEndpoint(2, device);
  platform::ports::MapDevice(5, "/dev/pts/42");
  const auto all = platform::ports::List();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].number, 2u);
  EXPECT_TRUE(all[0].simulated);
  EXPECT_EQ(all[1].device, "/dev/pts/42");
  EXPECT_EQ(platform::ports::Resolve(2), device);
  EXPECT_EQ(platform::ports::Resolve(3), nullptr);
  platform::ports::Unmap(2);
  EXPECT_EQ(platform::ports::Resolve(2), nullptr);
  EXPECT_FALSE(platform::ports::Describe(2).has_value());
  platform::ports::UnmapAll();
}

}  // namespace
