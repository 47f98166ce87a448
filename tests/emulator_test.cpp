// The stand-in for the device keeps to the dialogue it models.
#include <gtest/gtest.h>

#include "comm_calls.h"
#include "virtual_time_test.h"

namespace {

using emulator::Bytes;
using emulator::Command;
using testing_support::operator""_ms;
using testing_support::VirtualTimeTest;

class EmulatorTest : public VirtualTimeTest {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenPort()); }
  Bytes Reply(const std::string& command, int count, int ms = 500) {
    SerialPort.SendHex(command);
    SerialPort.ReadWithDeadline(count, ms);
    return Received();
  }
};

TEST_F(EmulatorTest, AnswersTheDialogueInOrder) {
  device->versionMajor = 2;
  device->versionMinor = 9;
  EnterCommandState();
  SerialPort.ClearRx();
  SerialPort.ReadWithDeadline(1, 200);
  EXPECT_EQ(SerialPort.RxBuffer[0], 0x06);
  EXPECT_EQ(Reply("2A 41", 6), (Bytes{0x2A, 0x41, 9, 2, 0x10, 0x06}));
  EXPECT_EQ(Reply("2A 42 83", 4), (Bytes{0x2A, 0x42, 0x83, 0x06}));
  EXPECT_EQ(Reply("2A 44 01", 4), (Bytes{0x2A, 0x44, 0x01, 0x06}));
  EXPECT_EQ(Reply("2A 43", 3), (Bytes{0x2A, 0x43, 0x06}));
  EXPECT_EQ(device->settings().clockCode(), 3);
  EXPECT_TRUE(device->settings().smartMouse());
  EXPECT_EQ(device->settings().resetDelay, BYTE{0x01});
  EXPECT_TRUE(device->settings().finalReceived);
}

TEST_F(EmulatorTest, CommandsOutsideTheCommandStateGetNoAnswer) {
  EXPECT_TRUE(Reply("2A 41", 6).empty());
  EXPECT_FALSE(device->settings().modeClock.has_value());
}

TEST_F(EmulatorTest, ShortBreakDoesNotEnterTheCommandState) {
  SerialPort.SetBreak();
  clock.Advance(999_ms);
  SerialPort.ClearBreak();
  SerialPort.ClearRx();
  EXPECT_FALSE(SerialPort.ReadWithDeadline(1, 200));
  EXPECT_TRUE(Reply("2A 41", 6).empty());
}

TEST_F(EmulatorTest, CommandOutOfOrderGetsNoAnswerAndChangesNothing) {
  EnterCommandState();
  SerialPort.ClearRx();
  SerialPort.ReadWithDeadline(1, 200);
  EXPECT_TRUE(Reply("2A 42 81", 4).empty());  // before the version query
  EXPECT_FALSE(device->settings().modeClock.has_value());
  EXPECT_EQ(Reply("2A 41", 6).size(), 6u);  // the expected one still works
}

TEST_F(EmulatorTest, BytesSentDuringTheBreakDoNotReachTheDevice) {
  SerialPort.SetBreak();
  SerialPort.SendHex("2A 41");
  clock.Advance(100_ms);
  SerialPort.ClearBreak();
  EXPECT_TRUE(device->received().empty());
}

TEST_F(EmulatorTest, BytesTakeTheirTimeOnTheLine) {
  device->entryReply = {0x06, 0x01, 0x02};
  EnterCommandState();
  const auto cleared = clock.Now();
  SerialPort.ClearRx();
  SerialPort.ReadWithDeadline(3, 200);
  EXPECT_EQ(clock.Now() - cleared, 3 * device->byteTime());
  EXPECT_EQ(device->byteTime(), platform::Nanos(1'041'666));  // ten bits at 9600 baud
}

TEST_F(EmulatorTest, UnpluggedAdapterFailsReadsWritesAndReopening) {
  device->UnplugFrom(Command::Version);
  EnterCommandState();
  SerialPort.TxBuffer[0] = 0x2A;
  SerialPort.TxBuffer[1] = 0x41;
  EXPECT_FALSE(SerialPort.Write(2));
  DWORD got = 0;
  BYTE data[4];
  EXPECT_FALSE(platform::comm::ReadFile(SerialPort.Handle, data, 4, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  SerialPort.Close();
  EXPECT_FALSE(OpenPort());
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
