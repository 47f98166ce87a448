// The serial device code against the real kernel: pseudo-terminals and other
// processes, in real time (generous bounds).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <termios.h>

#include "Scom.h"
#include "comm_calls.h"
#include "comm_failure.h"
#include "port_holders.h"
#include "process_state.h"
#include "pty_device.h"
#include "pty_pair.h"
#include "run_bound.h"
#include "run_recorder.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using platform::comm::LastFailure;

class PtyBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals on this machine";
    platform::ports::MapDevice(3, pty.slavePath());
  }
  bool OpenPort() { return SerialPort.Open(3, 9600, 8, ONESTOPBIT, NOPARITY, false); }

  // A process of our own that holds the slave open, as a program that takes
  // no lock would; killed by the test.
  void StartHolder(QProcess& holder) {
    holder.setStandardInputFile(QString::fromStdString(pty.slavePath()));
    holder.start("/bin/cat", {});
    ASSERT_TRUE(holder.waitForStarted());
  }

  testing_support::ProcessState state;
  testing_support::PtyPair pty;
};

TEST_F(PtyBackendTest, OpensWithTheLineSettingsAndRestoresThemOnClose) {
  termios before{};
  ASSERT_EQ(tcgetattr(pty.masterFd(), &before), 0);
  ASSERT_TRUE(OpenPort());
  DCB dcb{};
  ASSERT_TRUE(platform::comm::GetCommState(SerialPort.Handle, &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fOutxCtsFlow | dcb.fOutX | dcb.fInX, 0u);

  // The terminal itself was set so (master and slave share one termios).
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.masterFd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

  SerialPort.Close();
  ASSERT_EQ(tcgetattr(pty.masterFd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), cfgetospeed(&before));
  EXPECT_EQ(tio.c_lflag, before.c_lflag);
  EXPECT_EQ(tio.c_cflag, before.c_cflag);
}

TEST_F(PtyBackendTest, NoModemLinesStillOpensAndTheSlotCountsAsEmpty) {
  ASSERT_TRUE(OpenPort());
  DWORD status = 0;
  EXPECT_FALSE(platform::comm::GetCommModemStatus(SerialPort.Handle, &status));
  EXPECT_TRUE(SerialPort.CarrierDetect());
}

TEST_F(PtyBackendTest, SecondOpenerInThisProcessIsRefused) {
  ASSERT_TRUE(OpenPort());
  platform::ports::MapDevice(4, pty.slavePath());
  EXPECT_EQ(platform::comm::CreateFileA(".\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // After Close the port can be opened again.
  SerialPort.Close();
  HANDLE again = platform::comm::CreateFileA(".\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  platform::comm::CloseHandle(again);
}

TEST_F(PtyBackendTest, SecondOpenerInAnotherProcessIsRefused) {
  EXPECT_EQ(QProcess::execute(OPEN_PROBE, {QString::fromStdString(pty.slavePath())}), 0);
  ASSERT_TRUE(OpenPort());
  EXPECT_EQ(QProcess::execute(OPEN_PROBE, {QString::fromStdString(pty.slavePath())}), 3);
}

TEST_F(PtyBackendTest, ProgramHoldingTheDeviceWithoutALockIsNamed) {
  QProcess holder;
  StartHolder(holder);
  EXPECT_FALSE(OpenPort());
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(LastFailure().holder, holder.processId());
  EXPECT_EQ(LastFailure().holderName, "cat");
  holder.kill();
  holder.waitForFinished();
  EXPECT_TRUE(OpenPort());
}

TEST_F(PtyBackendTest, KilledHolderLeavesNothingThatKeepsThePort) {
  QProcess holder;
  holder.start(OPEN_PROBE, {QString::fromStdString(pty.slavePath()), "hold"});
  ASSERT_TRUE(holder.waitForReadyRead(10000));
  ASSERT_EQ(holder.readAllStandardOutput(), "held\n");
  EXPECT_FALSE(OpenPort());
  ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
  holder.waitForFinished();
  EXPECT_TRUE(OpenPort());
}

// A UUCP lock file (LCK..name) of a live process refuses the open and is
// never touched; one of a process that has ended does not block.
TEST_F(PtyBackendTest, LiveLockFilesRefuseAndStaleOnesDoNot) {
  QTemporaryDir locks;
  const platform::ScopedServices lockedHere([&](platform::Services& services) {
    services.lockFolders = {locks.path().toStdString()};
  });
  const std::string name = pty.slavePath().substr(pty.slavePath().rfind('/') + 1);
  const QString lockFile = locks.path() + "/LCK.." + QString::fromStdString(name);
  auto writeLock = [&](qint64 pid) {
    QFile file(lockFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::number(pid).rightJustified(10, ' ') + "\n");
  };

  QProcess live;
  live.start("/bin/cat", {});
  ASSERT_TRUE(live.waitForStarted());
  const qint64 pid = live.processId();
  writeLock(pid);
  EXPECT_FALSE(OpenPort());
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(LastFailure().lockFile, lockFile.toStdString());
  EXPECT_EQ(LastFailure().holder, pid);
  live.closeWriteChannel();
  live.waitForFinished();

  // Now its process has ended: stale.
  EXPECT_TRUE(OpenPort());
  QFile file(lockFile);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().trimmed().toLongLong(), pid);  // left as it was
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
  ASSERT_TRUE(platform::comm::SetCommTimeouts(SerialPort.Handle, &timeouts));
  std::vector<BYTE> block(1 << 20, 0x55);
  DWORD written = 0;
  const auto start = Steady::now();
  EXPECT_FALSE(
      platform::comm::WriteFile(SerialPort.Handle, block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
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

// --- the adapter pulled out mid-run: the master closed at a step

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class PtyHangUpTest : public PtyBackendTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PtyHangUpTest, RunFailsInBoundedTimeAsleepAndSaysTheDeviceWentAway) {
  testing_support::PtyDevice device(pty);
  device.hangUpAt = GetParam();
  const platform::ScopedServices useDevice([&](platform::Services& services) { services.systemCalls = &device; });
  platform::VirtualClock unusedClock;  // the recorder wants a clock for its stamps
  testing_support::RecordingStatus status(unusedClock);
  const double cpuBefore = ThreadCpuSeconds();
  const auto start = Steady::now();
  EXPECT_FALSE(SetInterfaceMode("SmartMouse", "3.58", 30, 3, status));
  const double wall = std::chrono::duration<double>(Steady::now() - start).count();
  const double cpu = ThreadCpuSeconds() - cpuBefore;
  EXPECT_EQ(status.text, "Error setting SmartMouse mode.");
  EXPECT_LT(wall, std::chrono::duration<double>(run_bound::Total(0)).count() + 1.0);
  EXPECT_LT(cpu, 0.05 * wall) << cpu << " s of processor time in " << wall << " s";
  EXPECT_EQ(platform::comm::Explain(LastFailure()), pty.slavePath() + " disappeared (was the adapter unplugged?).");
  EXPECT_FALSE(SerialPort.IsOpen);
}

INSTANTIATE_TEST_SUITE_P(Steps, PtyHangUpTest, ::testing::Values("entry", "2A 41"),
                         [](const auto& info) { return std::string(info.param[0] == 'e' ? "Entry" : "Version"); });

}  // namespace
