// The serial device code on termios, through the system-call seam: a fake
// kernel tty in front of the emulator, in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include "comm_calls.h"
#include "comm_failure.h"
#include "fake_tty.h"
#include "run_bound.h"
#include "run_test.h"
#include "services.h"

namespace {

using platform::comm::Explain;
using platform::comm::LastFailure;
using testing_support::FakeTty;
using testing_support::operator""_ms;

class CommSeamTest : public testing_support::RunTest {
 protected:
  CommSeamTest() : tty(device), useTty([this](platform::Services& services) { services.systemCalls = &tty; }) {
    platform::ports::UnmapAll();
    platform::ports::MapDevice(kPort, FakeTty::kPath);
  }
  // The port goes back while the fake still stands in for the kernel.
  ~CommSeamTest() override { SerialPort.Close(); }

  bool Called(const std::string& call) const {
    return std::find(tty.calls.begin(), tty.calls.end(), call) != tty.calls.end();
  }

  FakeTty tty;
  platform::ScopedServices useTty;
};

TEST_F(CommSeamTest, OpenSetsTheInterfaceLineAndCloseGivesItBackAsFound) {
  ASSERT_TRUE(OpenPort());
  const termios& t = tty.termios_;
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD | HUPCL), static_cast<tcflag_t>(CLOCAL | CREAD | HUPCL));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INPCK | ISTRIP), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(tty.modemLines & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);  // DTR off, RTS on
  EXPECT_TRUE(Called("ioctl TIOCEXCL"));
  EXPECT_EQ(tty.flockOperations, (std::vector<int>{LOCK_EX | LOCK_NB}));

  SerialPort.Close();
  EXPECT_EQ(std::memcmp(&tty.termios_, &tty.settingsAtOpen, sizeof(termios)), 0);
  EXPECT_TRUE(Called("ioctl TIOCNXCL"));
  EXPECT_EQ(tty.flockOperations.back(), LOCK_UN);
  EXPECT_EQ(tty.openFds, 0);
}

TEST_F(CommSeamTest, BreakAndModemLinesAsTheWindowsCallsReportThem) {
  device->InsertCard(emulator::CorvaneEmulator::kCardNeverRemoved);
  device->otherModemBits = MS_CTS_ON | MS_DSR_ON | MS_RING_ON;
  ASSERT_TRUE(OpenPort());
  DWORD status = 0;
  ASSERT_TRUE(platform::comm::GetCommModemStatus(SerialPort.Handle, &status));
  EXPECT_EQ(status, MS_CTS_ON | MS_DSR_ON | MS_RING_ON);
  EXPECT_FALSE(SerialPort.CarrierDetect());
  EXPECT_TRUE(SerialPort.SetBreak());
  EXPECT_TRUE(tty.breakOn);
  EXPECT_TRUE(SerialPort.ClearBreak());
  EXPECT_FALSE(tty.breakOn);
  tty.FailCall("ioctl TIOCSBRK", EIO);
  EXPECT_FALSE(SerialPort.SetBreak());
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

// --- each failing step of opening the port

struct OpenFailure {
  const char* call;
  int error;
  DWORD windowsError;
  bool heldAfter;  // CreateFileA had succeeded: the port stays held until Close
  const char* explanation;
  friend void PrintTo(const OpenFailure& f, std::ostream* os) { *os << f.call << ' ' << f.error; }
};

class OpenFailureTest : public CommSeamTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailureTest, FailsWithTheReasonAndLeaksNothing) {
  const OpenFailure& f = GetParam();
  tty.FailCall(f.call, f.error);
  EXPECT_FALSE(OpenPort());
  EXPECT_EQ(GetLastError(), f.windowsError);
  EXPECT_EQ(SerialPort.IsOpen, f.heldAfter);
  EXPECT_EQ(Explain(LastFailure()), f.explanation);
  SerialPort.Close();
  EXPECT_EQ(tty.openFds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, OpenFailureTest,
    ::testing::Values(
        OpenFailure{"stat", ENOENT, ERROR_FILE_NOT_FOUND, false,
                    "No such device: /fake/ttyUSB0 does not exist (is the adapter plugged in?)."},
        OpenFailure{"open", EACCES, ERROR_ACCESS_DENIED, false,
                    "Permission denied on /fake/ttyUSB0: members of the group 'dialout' may use it; join it with: "
                    "sudo usermod -aG dialout $USER, then log in again."},
        OpenFailure{"open", EBUSY, ERROR_SHARING_VIOLATION, false,
                    "/fake/ttyUSB0 is in use by another program (one this user may not see, perhaps another "
                    "user's)."},
        OpenFailure{"open", ENXIO, ERROR_DEVICE_NOT_CONNECTED, false,
                    "/fake/ttyUSB0 disappeared (was the adapter unplugged?)."},
        OpenFailure{"tcgetattr", ENOTTY, ERROR_NOT_SUPPORTED, false,
                    "/fake/ttyUSB0 is not a serial device: it is a device that is not a terminal."},
        OpenFailure{"flock", EWOULDBLOCK, ERROR_SHARING_VIOLATION, false,
                    "/fake/ttyUSB0 is in use by another program (one this user may not see, perhaps another "
                    "user's)."},
        OpenFailure{"ioctl TIOCEXCL", EINVAL, ERROR_INVALID_PARAMETER, false,
                    "/fake/ttyUSB0 failed at open: Invalid argument."},
        OpenFailure{"tcsetattr", EINVAL, ERROR_INVALID_PARAMETER, false,
                    "/fake/ttyUSB0 failed at open: Invalid argument."},
        OpenFailure{"ioctl TIOCMBIC", EIO, ERROR_DEVICE_NOT_CONNECTED, true,
                    "/fake/ttyUSB0 disappeared (was the adapter unplugged?)."}));

TEST_F(CommSeamTest, ALineWithoutModemLinesStillOpens) {
  tty.FailCall("ioctl TIOCMBIC", ENOTTY);  // a pseudo-terminal
  tty.FailCall("ioctl TIOCMBIS", ENOTTY);
  EXPECT_TRUE(OpenPort());
}

// --- the line hangs up at each step of the dialogue

struct HangUpCase {
  const char* step;  // what the host does just before the line goes
  const char* call;
  FakeTty::HangUp how;
  int progress;
  friend void PrintTo(const HangUpCase& c, std::ostream* os) { *os << c.step << ' ' << static_cast<int>(c.how); }
};

class HangUpTest : public CommSeamTest, public ::testing::WithParamInterface<HangUpCase> {};

TEST_P(HangUpTest, RunFailsAtOnceAsleepAndSaysTheDeviceWentAway) {
  const HangUpCase& c = GetParam();
  tty.HangUpAfter([&](const std::string& call) { return call.rfind(c.call, 0) == 0; }, c.how);
  EXPECT_FALSE(RunMode());
  EXPECT_EQ(status.text, "Error setting SmartMouse mode.");
  EXPECT_EQ(progress.position, c.progress);
  // Reads wait out their time-outs asleep: a spinning host would look
  // hundreds of times, each look costing a millisecond here.
  EXPECT_LE(tty.lookCount, 40);
  EXPECT_LE(Elapsed(), run_bound::Total(0));
  EXPECT_EQ(Explain(LastFailure()), "/fake/ttyUSB0 disappeared (was the adapter unplugged?).");
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_EQ(tty.openFds, 0);
}

std::vector<HangUpCase> HangUpCases() {
  std::vector<HangUpCase> cases;
  for (auto how : {FakeTty::HangUp::Kernel, FakeTty::HangUp::OtherClosed, FakeTty::HangUp::EndOfFile}) {
    cases.push_back({"entry", "ioctl TIOCSBRK", how, 11});
    cases.push_back({"version", "write 2A 41", how, 11});
    cases.push_back({"mode", "write 2A 42", how, 12});
    cases.push_back({"resetdelay", "write 2A 44", how, 13});
  }
  return cases;
}

std::string HangUpName(const ::testing::TestParamInfo<HangUpCase>& info) {
  static const char* const kHow[] = {"Kernel", "OtherClosed", "EndOfFile"};
  return std::string(info.param.step) + "_" + kHow[static_cast<int>(info.param.how)];
}

INSTANTIATE_TEST_SUITE_P(Steps, HangUpTest, ::testing::ValuesIn(HangUpCases()), HangUpName);

// --- a stop request (Ctrl-C) ends the run wherever it is

struct StopCase {
  const char* where;
  int atMs;  // after the run starts: in the break, in the version read
};

class StopTest : public CommSeamTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, RunUnwindsAtOnceWithTheBreakClearedAndTheLineAsFound) {
  if (std::string(GetParam().where) == "reply") device->SilenceFrom(emulator::Command::Version);
  clock.After(std::chrono::milliseconds(GetParam().atMs), [] { platform::RequestStop(SIGINT); });
  EXPECT_THROW(RunMode(), platform::RunStopped);
  EXPECT_EQ(Elapsed(), std::chrono::milliseconds(GetParam().atMs));
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_FALSE(tty.breakOn);
  EXPECT_TRUE(Called("tcflush both"));  // nothing unsent goes out afterwards
  EXPECT_EQ(std::memcmp(&tty.termios_, &tty.settingsAtOpen, sizeof(termios)), 0);
  EXPECT_EQ(tty.openFds, 0);
  EXPECT_FALSE(InterfaceRunActive());
}

INSTANTIATE_TEST_SUITE_P(Moments, StopTest, ::testing::Values(StopCase{"break", 650}, StopCase{"reply", 1700}),
                         [](const auto& info) { return std::string(info.param.where); });

// --- the explanations, for each cause

struct ExplainCase {
  const char* name;
  platform::comm::CommFailure failure;
  mode_t mode;
  gid_t group;
  bool listedInGroup;
  std::string text;
};

class ExplainTest : public CommSeamTest, public ::testing::WithParamInterface<ExplainCase> {};

TEST_P(ExplainTest, SaysWhatWentWrongAndWhatHelps) {
  tty.deviceStat.st_mode = GetParam().mode;
  tty.deviceStat.st_gid = GetParam().group;
  tty.userListedInGroup = GetParam().listedInGroup;
  EXPECT_EQ(Explain(GetParam().failure), GetParam().text);
}

platform::comm::CommFailure Failure(int error, unsigned port = 0, std::string identity = {}) {
  platform::comm::CommFailure f(error, "open", port == 0 ? FakeTty::kPath : "");
  f.port = port;
  f.identity = std::move(identity);
  return f;
}

platform::comm::CommFailure HeldBy(long pid, const char* lockFile) {
  platform::comm::CommFailure f(EBUSY, "open", FakeTty::kPath);
  f.holder = pid;
  f.holderName = "minicom";
  f.lockFile = lockFile;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ExplainTest,
    ::testing::Values(
        ExplainCase{"Nothing", {}, 0, 0, false, ""},
        ExplainCase{"UnknownNumber", Failure(ENOENT, 7), 0, 0, false,
                    "No such device: no serial adapter has been given the number 7 on this machine; usb-corvane "
                    "--list-ports lists the numbers."},
        ExplainCase{"AbsentAdapter", Failure(ENOENT, 2, "/dev/serial/by-id/usb-FTDI_A1"), 0, 0, false,
                    "No such device: port 2 is the adapter /dev/serial/by-id/usb-FTDI_A1, which is not plugged in."},
        ExplainCase{"Folder", Failure(EISDIR), S_IFDIR | 0755, 0, false,
                    "/fake/ttyUSB0 is not a serial device: it is a folder."},
        ExplainCase{"Fifo", Failure(ENOTTY), S_IFIFO | 0644, 0, false,
                    "/fake/ttyUSB0 is not a serial device: it is a pipe (FIFO)."},
        ExplainCase{"NewGroupNotInSession", Failure(EACCES), S_IFCHR | 0660, 20, true,
                    "Permission denied on /fake/ttyUSB0: your user was added to the group 'dialout' after this "
                    "session began; log out and in again."},
        ExplainCase{"OwnerOnly", Failure(EACCES), S_IFCHR | 0600, 20, false,
                    "Permission denied on /fake/ttyUSB0: it belongs to root and the group 'dialout' with mode 0600, "
                    "so no group of yours may use it. A udev rule can give it to the group dialout with mode 0660 "
                    "(see the README), or run as root."},
        ExplainCase{"GroupRoot", Failure(EACCES), S_IFCHR | 0660, 0, false,
                    "Permission denied on /fake/ttyUSB0: it belongs to root and the group 'root' with mode 0660, so "
                    "no group of yours may use it. A udev rule can give it to the group dialout with mode 0660 (see "
                    "the README), or run as root."},
        ExplainCase{"LockFile", HeldBy(4321, "/run/lock/LCK..ttyUSB0"), 0, 0, false,
                    "/fake/ttyUSB0 is in use by another program: minicom (process 4321), which holds the lock file "
                    "/run/lock/LCK..ttyUSB0."},
        ExplainCase{"NameTooLong", Failure(ENAMETOOLONG), 0, 0, false,
                    "The device name is too long: /fake/ttyUSB0."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
