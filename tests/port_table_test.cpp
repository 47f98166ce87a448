#include <gtest/gtest.h>

#include "corvane_emulator.h"
#include "port_table.h"

namespace {

using platform::ports::PortEntry;

TEST(PortTableTest, MachineDevicesAreNumberedUsbAdaptersFirst) {
  std::vector<PortEntry> entries;
  for (const char* path : {"/dev/ttyS10", "/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyUSB10", "/dev/ttyAMA0",
                           "/dev/ttyUSB2", "/dev/ttyS0"}) {
    entries.push_back({0, path, "", {}, {}, false});
  }
  platform::ports::NumberMachinePorts(entries);
  std::vector<std::string> order;
  for (const auto& e : entries) order.push_back(std::to_string(e.number) + " " + e.device);
  EXPECT_EQ(order, (std::vector<std::string>{"1 /dev/ttyUSB2", "2 /dev/ttyUSB10", "3 /dev/ttyACM0",
                                             "4 /dev/ttyAMA0", "5 /dev/ttyS0", "6 /dev/ttyS2", "7 /dev/ttyS10"}));
}

TEST(PortTableTest, ParsesOnlyTheTwoComNameForms) {
  EXPECT_EQ(platform::ports::ParsePortName(".\\COM3"), 3u);
  EXPECT_EQ(platform::ports::ParsePortName("\\\\.\\COM12"), 12u);
  EXPECT_EQ(platform::ports::ParsePortName("\\\\.\\COM4294967295"), 4294967295u);
  for (const char* name : {"COM3", ".\\com3", ".\\COM", ".\\COM3x", "\\\\.\\COM4294967296", "/dev/ttyUSB0", ""}) {
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
