#include <gtest/gtest.h>

#include "comm_calls.h"
#include "virtual_time_test.h"

namespace {

using emulator::OpenStep;
using testing_support::VirtualTimeTest;

struct NameCase {
  DWORD port;
  const char* name;
};

class DeviceNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(DeviceNameTest, PrefixDependsOnTheNumber) {
  EXPECT_EQ(CommDeviceName(GetParam().port), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Ports, DeviceNameTest,
                         ::testing::Values(NameCase{0, ".\\COM0"}, NameCase{3, ".\\COM3"},
                                           NameCase{9, ".\\COM9"}, NameCase{10, "\\\\.\\COM10"},
                                           NameCase{12, "\\\\.\\COM12"}, NameCase{16, "\\\\.\\COM16"},
                                           NameCase{99999999, "\\\\.\\COM99999999"},
                                           NameCase{100000000, ""}, NameCase{4294967295u, ""}));

class SerialPortTest : public VirtualTimeTest {};

class OpenByNumberTest : public VirtualTimeTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(OpenByNumberTest, OpensTheDeviceMappedToThatNumber) {
  platform::ports::UnmapAll();
  platform::ports::MapEndpoint(GetParam(), device);
  EXPECT_TRUE(OpenPort(GetParam()));
  EXPECT_TRUE(SerialPort.IsOpen);
  EXPECT_TRUE(device->isOpen());
}

INSTANTIATE_TEST_SUITE_P(Ports, OpenByNumberTest, ::testing::Values(0u, 9u, 10u, 16u));

TEST_F(SerialPortTest, NameTooLongForTheBufferOpensNothing) {
  // Cut to 15 characters this name would be port 12345678's.
  platform::ports::MapEndpoint(12345678, device);
  platform::ports::MapEndpoint(123456789, device);
  EXPECT_FALSE(OpenPort(123456789));
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_EQ(device->openCount(), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(SerialPortTest, UnmappedNumberFailsWithInvalidHandle) {
  EXPECT_FALSE(OpenPort(7));
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_EQ(SerialPort.Handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(SerialPortTest, OnlyTheTwoComNameFormsOpenAPort) {
  for (const char* name : {"COM1", "/nonexistent/ttyS0", ".\\COM", "\\\\.\\COMx", ".\\COM1 ", "", "\\\\.\\COM-1"}) {
    EXPECT_EQ(platform::comm::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE)
        << name;
  }
  HANDLE handle = platform::comm::CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(platform::comm::CloseHandle(handle));
}

TEST_F(SerialPortTest, SecondOpenerIsRefused) {
  ASSERT_TRUE(OpenPort());
  EXPECT_EQ(platform::comm::CreateFileA(".\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
}

TEST_F(SerialPortTest, LineSettingsReadBackAfterOpen) {
  ASSERT_TRUE(OpenPort());
  const DCB& dcb = SerialPort.LineSettings;
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_DISABLE);
  EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
  EXPECT_EQ(dcb.XonLim, 512);
  EXPECT_EQ(dcb.XoffLim, 512);
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fParity, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fOutX | dcb.fInX, 0u);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
  // Members Open does not set keep what the driver reported.
  EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
  EXPECT_EQ(dcb.XonChar, 0x11);
  // And the device got exactly these settings.
  EXPECT_EQ(device->lineSettings().BaudRate, 9600u);
  EXPECT_EQ(device->lineSettings().fDtrControl, DTR_CONTROL_DISABLE);
  EXPECT_EQ(device->lineSettings().fRtsControl, RTS_CONTROL_ENABLE);
}

TEST_F(SerialPortTest, SecondOpenKeepsThePortAndAppliesTheNewSettings) {
  auto other = emulator::CorvaneEmulator::Create();
  platform::ports::MapEndpoint(2, other);
  ASSERT_TRUE(OpenPort(1));
  const HANDLE first = SerialPort.Handle;
  ASSERT_TRUE(SerialPort.Open(2, 4800, 7, TWOSTOPBITS, EVENPARITY, true));
  EXPECT_EQ(SerialPort.Handle, first);
  EXPECT_EQ(device->openCount(), 1);
  EXPECT_EQ(other->openCount(), 0);
  EXPECT_EQ(device->lineSettings().BaudRate, 4800u);
  EXPECT_EQ(device->lineSettings().ByteSize, 7);
  EXPECT_EQ(device->lineSettings().StopBits, TWOSTOPBITS);
  EXPECT_EQ(device->lineSettings().Parity, EVENPARITY);
  EXPECT_EQ(device->lineSettings().fParity, 1u);
}

class OpenStepFailureTest : public VirtualTimeTest, public ::testing::WithParamInterface<OpenStep> {};

TEST_P(OpenStepFailureTest, FailureAfterCreateFileLeavesThePortHeld) {
  device->FailOpenAt(GetParam());
  EXPECT_FALSE(OpenPort());
  EXPECT_TRUE(SerialPort.IsOpen);
  EXPECT_TRUE(device->isOpen());
  // Close releases it, and the next Open opens the port afresh.
  device->ClearOpenFailure();
  EXPECT_TRUE(SerialPort.Close());
  EXPECT_FALSE(device->isOpen());
  EXPECT_TRUE(OpenPort());
  EXPECT_EQ(device->openCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Steps, OpenStepFailureTest,
                         ::testing::Values(OpenStep::SetCommTimeouts, OpenStep::SetupComm,
                                           OpenStep::GetCommState, OpenStep::SetCommState));

TEST_F(SerialPortTest, CreateFileFailureLeavesThePortClosed) {
  device->FailOpenAt(OpenStep::CreateFile);
  EXPECT_FALSE(OpenPort());
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_EQ(SerialPort.Handle, INVALID_HANDLE_VALUE);
}

TEST_F(SerialPortTest, CloseTwiceMakesNoSecondPlatformCall) {
  ASSERT_TRUE(OpenPort());
  const HANDLE handle = SerialPort.Handle;
  EXPECT_TRUE(SerialPort.Close());
  EXPECT_EQ(SerialPort.Handle, handle);  // kept, only IsOpen tells
  SetLastError(ERROR_SUCCESS);
  EXPECT_TRUE(SerialPort.Close());
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_FALSE(platform::comm::CloseHandle(handle));  // it really was released by the first call
}

struct ModemCase {
  bool cardInSlot;
  DWORD otherBits;
  bool carrier;
};

class CarrierDetectTest : public VirtualTimeTest, public ::testing::WithParamInterface<ModemCase> {};

TEST_P(CarrierDetectTest, OnlyTheRlsdBitCounts) {
  if (GetParam().cardInSlot) device->InsertCard(emulator::CorvaneEmulator::kCardNeverRemoved);
  device->otherModemBits = GetParam().otherBits;
  ASSERT_TRUE(OpenPort());
  EXPECT_EQ(SerialPort.CarrierDetect(), GetParam().carrier);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, CarrierDetectTest,
    ::testing::Values(ModemCase{true, 0, false}, ModemCase{true, MS_CTS_ON, false},
                      ModemCase{true, MS_DSR_ON, false}, ModemCase{true, MS_RING_ON, false},
                      ModemCase{true, MS_CTS_ON | MS_DSR_ON | MS_RING_ON, false},
                      ModemCase{false, 0, true},
                      ModemCase{false, MS_CTS_ON | MS_DSR_ON | MS_RING_ON, true}));

TEST_F(SerialPortTest, CardLeavesTheSlotAtItsTime) {
  device->InsertCard(std::chrono::milliseconds(1500));
  ASSERT_TRUE(OpenPort());
  EXPECT_FALSE(SerialPort.CarrierDetect());
  clock.Advance(std::chrono::milliseconds(1499));
  EXPECT_FALSE(SerialPort.CarrierDetect());
  clock.Advance(std::chrono::milliseconds(1));
  EXPECT_TRUE(SerialPort.CarrierDetect());
}

TEST_F(SerialPortTest, FailedModemQueryCountsAsAnEmptySlot) {
  device->InsertCard(emulator::CorvaneEmulator::kCardNeverRemoved);
  device->UnplugFrom(emulator::Command::Entry);
  ASSERT_TRUE(OpenPort());
  EXPECT_FALSE(SerialPort.SetBreak());  // unplugs the adapter
  EXPECT_TRUE(SerialPort.CarrierDetect());
}

TEST_F(SerialPortTest, BreakIsHeldUntilCleared) {
  ASSERT_TRUE(OpenPort());
  EXPECT_TRUE(SerialPort.SetBreak());
  EXPECT_TRUE(device->breakOn());
  EXPECT_TRUE(SerialPort.ClearBreak());
  EXPECT_FALSE(device->breakOn());
}

TEST_F(SerialPortTest, OpenAndCloseLeaveTheBuffersAndFlags) {
  SerialPort.RxBuffer[0] = 0x55;
  SerialPort.RxCount = 1;
  SerialPort.TxBuffer[0] = 0x66;
  SerialPort.LogTraffic = true;
  ASSERT_TRUE(OpenPort());
  SerialPort.Close();
  EXPECT_EQ(SerialPort.RxBuffer[0], 0x55);
  EXPECT_EQ(SerialPort.RxCount, 1);
  EXPECT_EQ(SerialPort.TxBuffer[0], 0x66);
  EXPECT_TRUE(SerialPort.LogTraffic);
  EXPECT_TRUE(SerialPort.LogHex);
  EXPECT_FALSE(SerialPort.LogDecimal);
  EXPECT_FALSE(SerialPort.EchoReadBack);
}

}  // namespace
