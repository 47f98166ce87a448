// The real serial backend against a pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <termios.h>

#include "Scom.h"
#include "port_table.h"
#include "pty_pair.h"
#include "serial_reset.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

class PtyBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals on this machine";
    testing_support::ResetSerialObjects();
    platform::ports::UnmapAll();
    platform::ports::MapDevice(3, pty.slavePath());
  }
  void TearDown() override {
    SerialPort.Close();
    platform::ports::UnmapAll();
  }
  bool OpenPort() { return SerialPort.Open(3, 9600, 8, ONESTOPBIT, NOPARITY, false); }

  testing_support::PtyPair pty;
};

TEST_F(PtyBackendTest, OpensWithTheLineSettings) {
  ASSERT_TRUE(OpenPort());
  DCB dcb{};
  ASSERT_TRUE(GetCommState(SerialPort.Handle, &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fOutxCtsFlow | dcb.fOutX | dcb.fInX, 0u);

  // And the terminal itself was set so (master and slave share one termios).
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.masterFd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(PtyBackendTest, NoModemLinesStillOpensAndTheSlotCountsAsEmpty) {
  ASSERT_TRUE(OpenPort());
  DWORD status = 0;
  EXPECT_FALSE(GetCommModemStatus(SerialPort.Handle, &status));
  EXPECT_TRUE(SerialPort.CarrierDetect());
}

TEST_F(PtyBackendTest, SecondOpenerInThisProcessIsRefused) {
  ASSERT_TRUE(OpenPort());
  platform::ports::MapDevice(4, pty.slavePath());
  EXPECT_EQ(CreateFileA(".\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // After Close the port can be opened again.
  SerialPort.Close();
  HANDLE again = CreateFileA(".\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST_F(PtyBackendTest, SecondOpenerInAnotherProcessIsRefused) {
  EXPECT_EQ(QProcess::execute(OPEN_PROBE, {QString::fromStdString(pty.slavePath())}), 0);
  ASSERT_TRUE(OpenPort());
  EXPECT_EQ(QProcess::execute(OPEN_PROBE, {QString::fromStdString(pty.slavePath())}), 3);
}

TEST_F(PtyBackendTest, ReadTimesOutAfterAbout250ms) {
  ASSERT_TRUE(OpenPort());
  const auto start = Steady::now();
  EXPECT_EQ(SerialPort.Read(5), 0);
  const auto took = Steady::now() - start;
  EXPECT_GE(took, 240ms);
  EXPECT_LT(took, 2000ms);
}

TEST_F(PtyBackendTest, BytesWaitingAreReturnedAtOnce) {
  ASSERT_TRUE(OpenPort());
  ASSERT_TRUE(pty.Send({0x06, 0x10, 0x06}));
  const auto start = Steady::now();
  // Up to the count asked: two now, the third stays queued.
  EXPECT_EQ(SerialPort.Read(2), 2);
  EXPECT_EQ(SerialPort.Read(5), 3);
  EXPECT_LT(Steady::now() - start, 200ms);
  EXPECT_EQ(SerialPort.RxBuffer[0], 0x06);
  EXPECT_EQ(SerialPort.RxBuffer[1], 0x10);
  EXPECT_EQ(SerialPort.RxBuffer[2], 0x06);
}

TEST_F(PtyBackendTest, CommandIsWrittenToTheLine) {
  ASSERT_TRUE(OpenPort());
  EXPECT_TRUE(SerialPort.SendHex("2A 42 81"));
  EXPECT_EQ(pty.Receive(3, 2000ms), (std::vector<unsigned char>{0x2A, 0x42, 0x81}));
}

TEST_F(PtyBackendTest, WriteGivesUpAfterItsTimeOutAndReportsTheBytesSent) {
  ASSERT_TRUE(OpenPort());
  // Nobody reads the other side, so the terminal's buffer fills and stays full.
  COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 250, 0, 200};
  ASSERT_TRUE(SetCommTimeouts(SerialPort.Handle, &timeouts));
  std::vector<BYTE> block(1 << 20, 0x55);
  DWORD written = 0;
  const auto start = Steady::now();
  EXPECT_FALSE(WriteFile(SerialPort.Handle, block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
  const auto took = Steady::now() - start;
  EXPECT_LT(written, block.size());
  EXPECT_GE(took, 150ms);
  EXPECT_LT(took, 3000ms);
}

TEST_F(PtyBackendTest, MissingDeviceIsReportedAsNotFound) {
  platform::ports::MapDevice(5, "/nonexistent/corvane-test-device");
  EXPECT_FALSE(SerialPort.Open(5, 9600, 8, ONESTOPBIT, NOPARITY, false));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(SerialPort.IsOpen);
}

}  // namespace
