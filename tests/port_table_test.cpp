// Port numbers that stay put, against a sysfs and /dev/serial tree of our own.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>

#include "comm_calls.h"
#include "comm_failure.h"
#include "corvane_emulator.h"
#include "fake_machine.h"
#include "port_table.h"
#include "process_state.h"
#include "registry.h"

namespace {

namespace fs = std::filesystem;
using platform::ports::PortEntry;
using testing_support::FakeMachine;

// Identities from sysfs alone.
const std::string kFtdi = "0403:6001 with serial number A1B2C3, interface 00";
std::string Ch340At(const std::string& port) { return "1a86:7523 in USB port " + port + " of 0000:00:14.0, interface 00"; }

class PortNumberTest : public ::testing::Test {
 protected:
  PortNumberTest() : state(Services()) {}

  // A test's services, with the fake machine's ports listed.
  platform::Services Services() {
    platform::Services services = testing_support::TestServices();
    services.machinePorts = true;
    services.machineFolders = machine.Folders();
    return services;
  }

  // "number device identity" for each known number; "-" for an absent device.
  std::vector<std::string> Numbers() const {
    std::vector<std::string> lines;
    for (const PortEntry& e : platform::ports::List().ports) {
      lines.push_back(std::to_string(e.number) + " " + (e.present ? e.device : "-") + " " + e.identity);
    }
    return lines;
  }

  FakeMachine machine;
  testing_support::ProcessState state;
};

TEST_F(PortNumberTest, FirstAdapterIsOneAndBuiltInLinesGetNoNumber) {
  machine.BuiltIn("ttyS0");
  machine.Plug("ttyUSB3", "1-2", "FT232R_USB_UART", "A1B2C3");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB3 " + kFtdi}));
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
  const platform::ScopedServices named([](platform::Services& services) {
    services.deviceDatabase = std::make_shared<Names>();
  });
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
  const std::string ch340 = Ch340At("3");  // no serial number: its USB port names it
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB0 " + kFtdi, "2 /fake-dev/ttyUSB1 " + ch340}));

  // Unplugging the first leaves its number absent; the second keeps 2.
  machine.Unplug("ttyUSB0");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 - " + kFtdi, "2 /fake-dev/ttyUSB1 " + ch340}));
  // Its number opens nothing, and says which adapter it waits for.
  EXPECT_EQ(platform::comm::CreateFileA(".\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::comm::Explain(platform::comm::LastFailure()),
            "No such device: port 1 is the adapter " + kFtdi + ", which is not plugged in.");

  // The FTDI comes back in another USB port, under another tty name, before
  // udev has made its links: still 1.
  machine.Plug("ttyUSB7", "1-4", "FT232R_USB_UART", "A1B2C3", false);
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB7 " + kFtdi, "2 /fake-dev/ttyUSB1 " + ch340}));
  machine.MakeLinks("ttyUSB7");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB7 " + kFtdi, "2 /fake-dev/ttyUSB1 " + ch340}));

  // The CH340 moved to another port is another adapter: the lowest free number.
  machine.Unplug("ttyUSB1");
  machine.Plug("ttyUSB1", "1-5", "USB_Serial", "");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 /fake-dev/ttyUSB7 " + kFtdi, "2 - " + ch340,
                                                 "3 /fake-dev/ttyUSB1 " + Ch340At("5")}));
}

// Numbers stored by earlier versions, under udev's links or the descriptions
// used without them, stay with their adapters, links made yet or not.
struct FormerName {
  const char* name;
  bool ftdi;
  bool links;
  std::function<std::string(const FakeMachine&)> stored;
};

class FormerIdentityTest : public PortNumberTest, public ::testing::WithParamInterface<FormerName> {};

TEST_P(FormerIdentityTest, FindsItsNumberAgain) {
  class Stored final : public platform::ports::NumberStore {
   public:
    explicit Stored(platform::ports::Numbers numbers) : numbers_(std::move(numbers)) {}
    platform::ports::StoredNumbers Known() override { return {numbers_, {}}; }
    platform::ports::StoredNumbers Remember(const std::vector<PortEntry>& present) override {
      return {numbers_ = platform::ports::AssignNumbers(numbers_, present), {}};
    }
    platform::ports::Numbers numbers_;
  };
  const platform::ScopedServices stored([&](platform::Services& services) {
    services.numberStore = std::make_shared<Stored>(platform::ports::Numbers{
        {1, "0403:6001 with serial number OTHER, interface 00"}, {2, GetParam().stored(machine)}});
  });
  if (GetParam().ftdi) machine.Plug("ttyUSB0", "1-2", "FT232R_USB_UART", "A1B2C3", GetParam().links);
  else machine.Plug("ttyUSB0", "1-3", "USB_Serial", "", GetParam().links);
  const std::string identity = GetParam().ftdi ? kFtdi : Ch340At("3");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"1 - 0403:6001 with serial number OTHER, interface 00",
                                                 "2 /fake-dev/ttyUSB0 " + identity}));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FormerIdentityTest,
    ::testing::Values(
        FormerName{"ByIdLinkPresent", true, true, [](const FakeMachine& m) { return m.ById("FT232R_USB_UART", "A1B2C3"); }},
        FormerName{"ByIdLinkNotYetMade", true, false,
                   [](const FakeMachine& m) { return m.ById("FT232R_USB_UART", "A1B2C3"); }},
        FormerName{"SerialWithoutLinks", true, false,
                   [](const FakeMachine&) { return "USB adapter with serial number A1B2C3, interface 1.0"; }},
        FormerName{"ByPathLinkPresent", false, true, [](const FakeMachine& m) { return m.ByPath("1-3"); }},
        FormerName{"ByPathLinkNotYetMade", false, false, [](const FakeMachine& m) { return m.ByPath("1-3"); }},
        FormerName{"PortWithoutLinks", false, false,
                   [](const FakeMachine&) { return "USB port 1-3, interface 1.0"; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortNumberTest, AdaptersSeenTogetherAreNumberedInNameOrder) {
  machine.Plug("ttyUSB10", "1-2", "B", "2");
  machine.Plug("ttyACM0", "1-3", "C", "3");
  machine.Plug("ttyUSB2", "1-4", "A", "1");
  std::vector<std::string> devices;
  for (const PortEntry& e : platform::ports::List().ports) devices.push_back(e.device);
  EXPECT_EQ(devices, (std::vector<std::string>{"/fake-dev/ttyUSB2", "/fake-dev/ttyUSB10", "/fake-dev/ttyACM0"}));
}

PortEntry Adapter(std::string identity, std::vector<std::string> former = {}) {
  PortEntry entry;
  entry.identity = std::move(identity);
  entry.formerIdentities = std::move(former);
  return entry;
}

TEST(AssignNumbersTest, NewcomersTakeTheLowestFreeNumbersAndFormerNamesFitOneAdapterOnly) {
  const platform::ports::Numbers stored{{1, "a"}, {3, "c"}, {4, "old-d"}, {5, "old-shared"}};
  EXPECT_EQ(platform::ports::AssignNumbers(stored, {Adapter("c"), Adapter("b"), Adapter("d", {"old-d", "old-shared"}),
                                                    Adapter("e", {"old-shared"}), Adapter("b")}),
            (platform::ports::Numbers{{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "old-shared"}, {6, "e"}}));
}

TEST(RegistryNumberStoreTest, NumbersAreRememberedUnderTheSettingsKey) {
  QTemporaryDir dir;
  const std::string machine = dir.path().toStdString() + "/machine";
  const platform::ScopedServices inDir([&](platform::Services& services) {
    services.registryMachineFolder = machine;
    services.registryUserFolder = dir.path().toStdString() + "/user";
  });
  EXPECT_EQ(platform::ports::RegistryNumberStore()->Remember({Adapter("x"), Adapter("y")}).numbers,
            (platform::ports::Numbers{{1, "x"}, {2, "y"}}));
  // A later program (a new store) finds them, and numbers a newcomer after them.
  const auto later = platform::ports::RegistryNumberStore();
  EXPECT_EQ(later->Known().numbers.at(2), "y");
  EXPECT_EQ(later->Remember({Adapter("z")}).numbers.at(3), "z");
  std::ifstream file(machine + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane/Ports.reg");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"COM1\"=\"x\""), std::string::npos) << text;
}

// A damaged store of numbers gives none: the adapter plugged in is listed by
// its path, no number opens anything, and the file is left for the user.
struct Damage {
  const char* name;
  std::string tail;  // after a good COM1 line for the absent adapter
  std::string says;
};

class DamagedNumberStoreTest : public PortNumberTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedNumberStoreTest, NumbersNothingAndOpensNothing) {
  QTemporaryDir dir;
  const platform::ScopedServices inDir([&](platform::Services& services) {
    services.registryMachineFolder = dir.path().toStdString() + "/machine";
    services.registryUserFolder = dir.path().toStdString() + "/user";
    services.numberStore = platform::ports::RegistryNumberStore();
  });
  const std::string path = dir.path().toStdString() + "/machine/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane/Ports.reg";
  fs::create_directories(fs::path(path).parent_path());
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\Veltra_Software\\USB_Corvane\\Ports]\r\n"
                           "\"COM1\"=\"0403:6001 with serial number ABSENT, interface 00\"\r\n" +
                           GetParam().tail;
  std::ofstream(path, std::ios::binary) << text;
  machine.Plug("ttyUSB0", "1-2", "FT232R_USB_UART", "A1B2C3");

  const platform::ports::PortList list = platform::ports::List();
  EXPECT_NE(list.problem.find(GetParam().says), std::string::npos) << list.problem;
  ASSERT_EQ(list.ports.size(), 1u);
  EXPECT_EQ(list.ports[0].number, 0u);
  EXPECT_EQ(list.ports[0].device, "/fake-dev/ttyUSB0");
  for (const char* name : {".\\COM1", ".\\COM2"}) {
    EXPECT_EQ(platform::comm::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_NE(platform::comm::Explain(platform::comm::LastFailure()).find("opens nothing while the stored port numbers cannot be read"),
              std::string::npos);
  }
  std::ifstream file(path, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), text);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedNumberStoreTest,
    ::testing::Values(Damage{"NulByte", std::string("\"COM2\"=\"x\0y\"\r\n", 14), "binary data"},
                      Damage{"NineDigitDword", "\"Other\"=dword:123456789\r\n", "(line 5): a dword needs 1 to 8 hex digits"},
                      Damage{"CutOffLastLine", "\"COM2\"=\"0403:6001 with ser", "(line 5): malformed text value"},
                      Damage{"NumberNotAText", "\"COM2\"=dword:00000001\r\n", "value \"COM2\" is not a port's adapter"}),
    [](const auto& info) { return std::string(info.param.name); });

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
  const auto all = platform::ports::List().ports;
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].number, 2u);
  EXPECT_TRUE(all[0].simulated);
  EXPECT_EQ(all[1].device, "/nonexistent/pts/42");
  EXPECT_EQ(platform::ports::Resolve(2, nullptr), device);
  EXPECT_EQ(platform::ports::Resolve(3, nullptr), nullptr);
  platform::ports::Unmap(2);
  EXPECT_EQ(platform::ports::Resolve(2, nullptr), nullptr);
  EXPECT_FALSE(platform::ports::Describe(2).has_value());
}

}  // namespace
