// Port numbers that stay put, against a sysfs and /dev/serial tree of our own.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "comm_calls.h"
#include "comm_failure.h"
#include "corvane_emulator.h"
#include "port_table.h"
#include "process_state.h"
#include "registry.h"

namespace {

namespace fs = std::filesystem;
using platform::ports::PortEntry;

// The kernel's and udev's view of USB serial adapters being plugged in and out.
class FakeMachine {
 public:
  FakeMachine() : root_(dir_.path().toStdString()) {
    fs::create_directories(root_ / "sys/class/tty");
    fs::create_directories(root_ / "dev/serial/by-id");
    fs::create_directories(root_ / "dev/serial/by-path");
  }

  platform::ports::MachineFolders Folders() const {
    return {(root_ / "sys/class/tty").string(), "/fake-dev", (root_ / "dev/serial").string()};
  }

  // An adapter on USB port `usbPort` ("1-2"); udev names it by-id with its
  // serial number, or with none, as it does for a CH340.
  void Plug(const std::string& tty, const std::string& usbPort, const std::string& product,
            const std::string& serial) {
    const fs::path usb = root_ / "sys/devices/usb1" / usbPort;
    Write(usb / "idVendor", serial.empty() ? "1a86" : "0403");
    Write(usb / "idProduct", serial.empty() ? "7523" : "6001");
    Write(usb / "product", product);
    if (!serial.empty()) Write(usb / "serial", serial);
    const fs::path port = usb / (usbPort + ":1.0") / tty;
    fs::create_directories(port);
    fs::create_directories(root_ / "sys/class/tty" / tty);
    fs::create_directory_symlink(port, root_ / "sys/class/tty" / tty / "device");
    fs::create_symlink("../../" + tty, root_ / "dev/serial/by-id" / ById(product, serial));
    fs::create_symlink("../../" + tty, root_ / "dev/serial/by-path" / ByPath(usbPort));
  }

  void Unplug(const std::string& tty) {
    fs::remove_all(root_ / "sys/class/tty" / tty);
    for (const char* folder : {"dev/serial/by-id", "dev/serial/by-path"}) {
      for (const auto& link : fs::directory_iterator(root_ / folder)) {
        if (fs::read_symlink(link.path()).filename() == tty) fs::remove(link.path());
      }
    }
  }

  void BuiltIn(const std::string& tty) {
    fs::create_directories(root_ / "sys/devices/serial8250" / tty);
    fs::create_directories(root_ / "sys/class/tty" / tty);
    fs::create_directory_symlink(root_ / "sys/devices/serial8250" / tty, root_ / "sys/class/tty" / tty / "device");
  }

  std::string ById(const std::string& product, const std::string& serial) const {
    return (root_ / "dev/serial/by-id" / ("usb-" + product + (serial.empty() ? "" : "_" + serial) + "-if00-port0"))
        .string();
  }
  std::string ByPath(const std::string& usbPort) const {
    return (root_ / "dev/serial/by-path" / ("pci-0000:00:14.0-usb-0:" + usbPort + ":1.0-port0")).string();
  }

 private:
  static void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }

  QTemporaryDir dir_;
  fs::path root_;
};

class PortNumberTest : public ::testing::Test {
 protected:
  PortNumberTest() {
    platform::ports::UseMachineFolders(machine.Folders());
    platform::ports::UseMachinePorts(true);
  }

  // "number device identity" for each known number; "-" for an absent device.
  std::vector<std::string> Numbers() const {
    std::vector<std::string> lines;
    for (const PortEntry& e : platform::ports::List()) {
      lines.push_back(std::to_string(e.number) + " " + (e.present ? e.device : "-") + " " + e.identity);
    }
    return lines;
  }

  testing_support::ProcessState state;
  FakeMachine machine;
};

TEST_F(PortNumberTest, FirstAdapterIsOneAndBuiltInLinesGetNoNumber) {
  machine.BuiltIn("ttyS0");
  machine.Plug("ttyUSB3", "1-2", "FT232R_USB_UART", "A1B2C3");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB3 " + machine.ById("FT232R_USB_UART", "A1B2C3")}));
  const auto entry = platform::ports::Describe(1);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->usbVendorId, 0x0403u);
  EXPECT_EQ(entry->description, "FT232R_USB_UART");
  EXPECT_EQ(entry->model, "FT232R_USB_UART");  // the device's own name, without a database
  EXPECT_EQ(entry->serialNumber, "A1B2C3");
  EXPECT_EQ(entry->byIdLink, machine.ById("FT232R_USB_UART", "A1B2C3"));
}

// Vendor and model come from the hardware database by the USB ids.
TEST_F(PortNumberTest, NamesComeFromTheHardwareDatabase) {
  struct Names final : platform::ports::DeviceDatabase {
    platform::ports::UsbNames Lookup(unsigned vendor, unsigned product) override {
      if (vendor == 0x0403 && product == 0x6001) return {"Future Technology Devices", "FT232 Serial (UART) IC"};
      return {};
    }
  };
  platform::ports::UseDeviceDatabase(std::make_shared<Names>());
  machine.Plug("ttyUSB0", "1-2", "FT232R_USB_UART", "A1B2C3");
  machine.Plug("ttyUSB1", "1-3", "USB_Serial", "");
  const auto ftdi = platform::ports::Describe(1);
  const auto ch340 = platform::ports::Describe(2);
  ASSERT_TRUE(ftdi && ch340);
  EXPECT_EQ(ftdi->vendor + " / " + ftdi->model, "Future Technology Devices / FT232 Serial (UART) IC");
  EXPECT_EQ(ch340->vendor + " / " + ch340->model, " / USB_Serial");
  EXPECT_EQ(ch340->serialNumber, "");
}

TEST_F(PortNumberTest, NumbersStayWithTheirAdaptersThroughUnplugAndReplug) {
  machine.Plug("ttyUSB0", "1-2", "FT232R_USB_UART", "A1B2C3");
  machine.Plug("ttyUSB1", "1-3", "USB_Serial", "");
  const std::string ftdi = machine.ById("FT232R_USB_UART", "A1B2C3");
  const std::string ch340 = machine.ByPath("1-3");  // no serial number: its USB port names it
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB0 " + ftdi, "2 /fake-dev/ttyUSB1 " + ch340}));

  // Unplugging the first leaves its number absent; the second keeps 2.
  machine.Unplug("ttyUSB0");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 - " + ftdi, "2 /fake-dev/ttyUSB1 " + ch340}));
  // Its number opens nothing, and says which adapter it waits for.
  EXPECT_EQ(platform::comm::CreateFileA(".\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::comm::Explain(platform::comm::LastFailure()),
            "No such device: port 1 is the adapter " + ftdi + ", which is not plugged in.");

  // The FTDI comes back in another USB port, under another tty name: still 1.
  machine.Plug("ttyUSB7", "1-4", "FT232R_USB_UART", "A1B2C3");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB7 " + ftdi, "2 /fake-dev/ttyUSB1 " + ch340}));

  // The CH340 moved to another port is another adapter: the lowest free number.
  machine.Unplug("ttyUSB1");
  machine.Plug("ttyUSB1", "1-5", "USB_Serial", "");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB7 " + ftdi, "2 - " + ch340,
                                                 "3 /fake-dev/ttyUSB1 " + machine.ByPath("1-5")}));
}

TEST_F(PortNumberTest, AdaptersSeenTogetherAreNumberedInNameOrder) {
  machine.Plug("ttyUSB10", "1-2", "B", "2");
  machine.Plug("ttyACM0", "1-3", "C", "3");
  machine.Plug("ttyUSB2", "1-4", "A", "1");
  std::vector<std::string> devices;
  for (const PortEntry& e : platform::ports::List()) devices.push_back(e.device);
  EXPECT_EQ(devices, (std::vector<std::string>{"/fake-dev/ttyUSB2", "/fake-dev/ttyUSB10", "/fake-dev/ttyACM0"}));
}

TEST(NumberNewIdentitiesTest, TakesTheLowestFreeNumbers) {
  const auto given = platform::ports::NumberNewIdentities({{1, "a"}, {3, "c"}}, {"c", "b", "d", "b"});
  EXPECT_EQ(given, (std::map<unsigned, std::string>{{2, "b"}, {4, "d"}}));
}

TEST(RegistryNumberStoreTest, NumbersAreRememberedUnderTheSettingsKey) {
  QTemporaryDir dir;
  const std::string machine = dir.path().toStdString() + "/machine";
  platform::registry::SetLocations(machine, dir.path().toStdString() + "/user");
  EXPECT_EQ(platform::ports::RegistryNumberStore()->Remember({"/dev/serial/by-id/x", "/dev/serial/by-id/y"}),
            (std::map<unsigned, std::string>{{1, "/dev/serial/by-id/x"}, {2, "/dev/serial/by-id/y"}}));
  // A later program (a new store) finds them, and numbers a newcomer after them.
  const auto later = platform::ports::RegistryNumberStore();
  EXPECT_EQ(later->Known().at(2), "/dev/serial/by-id/y");
  EXPECT_EQ(later->Remember({"/dev/serial/by-id/z"}).at(3), "/dev/serial/by-id/z");
  std::ifstream file(machine + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane/Ports.reg");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"COM1\"=\"/dev/serial/by-id/x\""), std::string::npos) << text;
  platform::registry::SetLocations({}, {});
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
  testing_support::ProcessState state;
  auto device = emulator::CorvaneEmulator::Create();
  platform::ports::MapEndpoint(2, device);
  platform::ports::MapDevice(5, "/nonexistent/pts/42");
  const auto all = platform::ports::List();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].number, 2u);
  EXPECT_TRUE(all[0].simulated);
  EXPECT_EQ(all[1].device, "/nonexistent/pts/42");
  EXPECT_EQ(platform::ports::Resolve(2), device);
  EXPECT_EQ(platform::ports::Resolve(3), nullptr);
  platform::ports::Unmap(2);
  EXPECT_EQ(platform::ports::Resolve(2), nullptr);
  EXPECT_FALSE(platform::ports::Describe(2).has_value());
}

}  // namespace
