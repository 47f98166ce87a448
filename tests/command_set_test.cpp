#include <gtest/gtest.h>

#include "run_test.h"

namespace {

using emulator::Bytes;
using emulator::Command;
using testing_support::operator""_ms;
using testing_support::RunTest;

struct ModeClockCase {
  std::string mode;
  std::string clock;
  BYTE byte;
  std::string command;
  friend void PrintTo(const ModeClockCase& c, std::ostream* os) { *os << '"' << c.mode << "\" \"" << c.clock << '"'; }
};

class ModeClockTest : public RunTest, public ::testing::WithParamInterface<ModeClockCase> {};

TEST_P(ModeClockTest, ByteAndCommandText) {
  EXPECT_EQ(ModeClockByte(GetParam().mode, GetParam().clock), GetParam().byte);
  EXPECT_EQ(ModeClockCommand(GetParam().mode, GetParam().clock), GetParam().command);
}

TEST_P(ModeClockTest, RunSetsTheDeviceAndShowsTheTextsAsGiven) {
  EXPECT_TRUE(RunMode(GetParam().mode, GetParam().clock));
  EXPECT_EQ(device->settings().modeClock, GetParam().byte);
  const auto texts = status.Texts();
  EXPECT_EQ(texts.front(), "Wait Setting " + GetParam().mode + " " + GetParam().clock + "MHz.");
  EXPECT_EQ(texts.back(), GetParam().mode + " " + GetParam().clock + "MHz set successfully");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModeClockTest,
    ::testing::Values(ModeClockCase{"SmartMouse", "3.58", 0x81, "2A 42 81"},
                      ModeClockCase{"SmartMouse", "3.68", 0x82, "2A 42 82"},
                      ModeClockCase{"SmartMouse", "6.00", 0x83, "2A 42 83"},
                      ModeClockCase{"SmartMouse", "4.00", 0x80, "2A 42 80"},
                      ModeClockCase{"Corvane", "3.58", 0x01, "2A 42 01"},
                      ModeClockCase{"Corvane", "3.68", 0x02, "2A 42 02"},
                      ModeClockCase{"Corvane", "6.00", 0x03, "2A 42 03"},
                      ModeClockCase{"Corvane", "4.00", 0x00, "2A 42 00"},
                      // Exact, case-sensitive comparisons of the whole texts.
                      ModeClockCase{"smartmouse", "3.58", 0x01, "2A 42 01"},
                      ModeClockCase{"SmartMouse ", "6.00", 0x03, "2A 42 03"},
                      ModeClockCase{"SmartMouse", "3.5", 0x80, "2A 42 80"},
                      ModeClockCase{"SmartMouse", "", 0x80, "2A 42 80"},
                      ModeClockCase{"Corvane", "6.0X", 0x00, "2A 42 00"},
                      ModeClockCase{"Corvane", "3.58MHz", 0x00, "2A 42 00"}));

TEST_F(RunTest, VersionBytesAreShownIndexThreeFirst) {
  device->versionMajor = 12;  // index 3
  device->versionMinor = 0;   // index 2
  EXPECT_TRUE(RunMode());
  EXPECT_EQ(status.Texts()[1], "Firmware 12.0");
}

// --- replies that depart from the normal ones

TEST_F(RunTest, SurplusByteShiftsTheNextReply) {
  device->Rule(Command::Version).surplus = {0x06};
  EXPECT_FALSE(RunMode());
  EXPECT_EQ(progress.position, 12);  // the mode reply now has 0x81 at index 3
  ExpectLineReleased();
}

class PendingBytesTest : public RunTest, public ::testing::WithParamInterface<std::pair<Bytes, bool>> {};

TEST_P(PendingBytesTest, UpToFiveBytesBeforeTheBreakAreDropped) {
  device->pendingAtOpen = GetParam().first;
  EXPECT_EQ(RunMode(), GetParam().second);
  EXPECT_EQ(progress.position, GetParam().second ? 15 : 11);
}

INSTANTIATE_TEST_SUITE_P(Counts, PendingBytesTest,
                         ::testing::Values(std::pair{Bytes{0x15}, true},
                                           std::pair{Bytes{1, 2, 3, 4, 5}, true},
                                           std::pair{Bytes{1, 2, 3, 4, 5, 9}, false}));

TEST_F(RunTest, LoneAcknowledgeAfterTheBreakIsAcceptedOnceTheDeadlineHasPassed) {
  device->entryReply = {0x06};
  EXPECT_TRUE(RunMode());
}

class LateByteTest : public RunTest, public ::testing::WithParamInterface<std::pair<int, bool>> {};

TEST_P(LateByteTest, LastByteOfTheModeReply) {
  device->Rule(Command::Mode).lastByteDelay = std::chrono::milliseconds(GetParam().first);
  EXPECT_EQ(RunMode(), GetParam().second);
  ExpectLineReleased();
}

// 400 ms late still lands inside the 500 ms deadline; 800 ms does not.
INSTANTIATE_TEST_SUITE_P(Delays, LateByteTest,
                         ::testing::Values(std::pair{100, true}, std::pair{400, true}, std::pair{800, false}));

TEST_F(RunTest, SilentFinalCommandIsStillASuccess) {
  device->SilenceFrom(Command::Final);
  EXPECT_TRUE(RunMode());
  EXPECT_EQ(status.text, "SmartMouse 3.58MHz set successfully");
  EXPECT_EQ(status.color, clLime);
}

class UnplugTest : public RunTest, public ::testing::WithParamInterface<std::pair<Command, int>> {};

TEST_P(UnplugTest, EndsInTheFailureTextWithNothingHanging) {
  device->Inject(GetParam().first, emulator::Fault::Unplugged);
  EXPECT_FALSE(RunMode());
  EXPECT_EQ(status.text, "Error setting SmartMouse mode.");
  EXPECT_EQ(progress.position, GetParam().second);
  EXPECT_FALSE(SerialPort.IsOpen);
  EXPECT_LT(Elapsed(), std::chrono::seconds(4));
}

INSTANTIATE_TEST_SUITE_P(Steps, UnplugTest,
                         ::testing::Values(std::pair{Command::Entry, 11}, std::pair{Command::Version, 11},
                                           std::pair{Command::Mode, 12}, std::pair{Command::ResetDelay, 13}));

TEST_F(RunTest, UnpluggedAtTheFinalCommandStillEndsInSuccess) {
  device->Inject(Command::Final, emulator::Fault::Unplugged);
  EXPECT_TRUE(RunMode());
  EXPECT_FALSE(SerialPort.IsOpen);
}

// --- the run's timing: every wait, read and byte time of a successful run

class TimelineTest : public RunTest, public ::testing::WithParamInterface<Bytes> {};

TEST_P(TimelineTest, EveryStepHappensWhenTheWaitsAndBytesSay) {
  device->entryReply = GetParam();
  const platform::Nanos b = device->byteTime();
  EXPECT_TRUE(RunMode());
  using std::chrono::milliseconds;
  auto at = [&](platform::MonoTime t) { return t - clock.Start(); };

  // Break held through twelve 100 ms waits, each followed by a progress step.
  for (int i = 0; i < 12; ++i) EXPECT_EQ(at(progress.times[i]), milliseconds(100 * (i + 1))) << i;
  // The read under the break finds nothing and runs to the 250 ms read time-out.
  platform::MonoTime breakOff{}, closed{};
  for (const auto& e : device->events()) {
    if (e.kind == emulator::LineEvent::Kind::BreakOff) breakOff = e.at;
    if (e.kind == emulator::LineEvent::Kind::Closed) closed = e.at;
  }
  EXPECT_EQ(at(breakOff), 1450_ms);
  // 100 ms wait, then the entry read: five bytes are all waiting; a lone
  // acknowledge makes the read run on to its 200 ms deadline and one more read.
  const platform::Nanos versionSent = GetParam().size() >= 5 ? 1550_ms : 1800_ms;
  // Each command: its bytes out, then the reply's bytes back, one byte time each.
  const platform::Nanos versionDone = versionSent + 8 * b;
  const platform::Nanos modeDone = versionDone + 7 * b;
  const platform::Nanos resetDone = modeDone + 7 * b;
  const platform::Nanos finalDone = resetDone + 500_ms + 5 * b;
  EXPECT_EQ(at(progress.times[12]), versionDone);
  EXPECT_EQ(at(progress.times[13]), modeDone);
  EXPECT_EQ(at(progress.times[14]), resetDone);
  EXPECT_EQ(at(closed), finalDone);
  EXPECT_EQ(at(progress.times[15]), finalDone);
  EXPECT_EQ(Elapsed(), finalDone + 500_ms);
}

INSTANTIATE_TEST_SUITE_P(EntryReplies, TimelineTest,
                         ::testing::Values(Bytes{0x06}, Bytes{0x06, 0x01, 0x02, 0x03, 0x04}));

}  // namespace
