#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "log.h"
#include "scratch_folder.h"
#include "virtual_time_test.h"

namespace {

using emulator::Bytes;
using emulator::Command;
using testing_support::operator""_ms;
using testing_support::VirtualTimeTest;

struct RecordCase {
  const char* name;
  bool transmit;
  Bytes bytes;
  bool hex, decimal;
  std::string record;
  std::string written;
  friend void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }
};

class LogTest : public VirtualTimeTest {
 protected:
  LogTest() {
    sink.Enabled = true;
    sink.TimeStamps = true;
    sink.FileName = dir.File("traffic.log");
    // Half a millisecond past the stamp, so truncation cannot step below it.
    sink.StartTime = clock.LocalDateTime() - 12345.5 / 86'400'000.0;
  }
  // The file once the sink has let go of it, as at the end of a run: Windows
  // lets nobody read a trace file while the sink holds it.
  std::string FileText() {
    sink.FileHandle = platform::AppendFile();
    return testing_support::FileContents(sink.FileName);
  }
  std::string Header() { return "\r\n\r\n" + DateTimeText(clock.LocalDateTime()) + "\r\n"; }
  void Attach() {
    SerialPort.LogTraffic = true;
    LogSink = &sink;
  }

  testing_support::ScratchFolder dir;
  TTrafficLog sink;
};

class RecordTableTest : public LogTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTableTest, RecordAndWhatIsWritten) {
  const RecordCase& c = GetParam();
  SerialPort.LogHex = c.hex;
  SerialPort.LogDecimal = c.decimal;
  std::string record;
  if (c.transmit) {
    std::copy(c.bytes.begin(), c.bytes.end(), SerialPort.TxBuffer.begin());
    record = TransmitRecord(SerialPort, static_cast<std::int32_t>(c.bytes.size()));
  } else {
    std::copy(c.bytes.begin(), c.bytes.end(), SerialPort.RxBuffer.begin());
    SerialPort.RxCount = static_cast<std::int32_t>(c.bytes.size());
    record = ReceiveRecord(SerialPort, SerialPort.RxCount);
  }
  EXPECT_EQ(record, c.record);
  sink.WriteRecord(record);
  EXPECT_EQ(FileText(), Header() + c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, RecordTableTest,
    ::testing::Values(
        RecordCase{"SentHex", true, {0x2A, 0x41}, true, false, "\r\n>*A[41]\r\n<",
                   "\r\n00012345 >*A[41]\r\n         <"},
        RecordCase{"SentThreeHex", true, {0x2A, 0x42, 0x81}, true, false, "\r\n>*B[42] 81\r\n<",
                   "\r\n00012345 >*B[42] 81\r\n         <"},
        RecordCase{"SentHexAndDecimal", true, {0x2A, 0x42, 0x81}, true, true, "\r\n>*B[42] 81129\r\n<",
                   "\r\n00012345 >*B[42] 81129\r\n         <"},
        RecordCase{"SentDecimal", true, {0x2A, 0x42, 0x81}, false, true, "129\r\n<", "129\r\n         <"},
        RecordCase{"SentNeither", true, {0x2A, 0x41}, false, false, "\r\n<", "\r\n         <"},
        RecordCase{"ReceivedHex", false, {0x06, 0x10, 0x06}, true, false, " 06 10 06", " 06 10 06"},
        RecordCase{"ReceivedHexAndDecimal", false, {0x06, 0x10, 0x06}, true, true, " 06 10 066166",
                   " 06 10 066166"},
        RecordCase{"ReceivedNeither", false, {0x06, 0x10, 0x06}, false, false, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeStampTest, LastEightCharactersOfTheTruncatedCount) {
  EXPECT_EQ(TimeStamp(12345.9), "00012345 ");
  EXPECT_EQ(TimeStamp(123456789), "23456789 ");
  EXPECT_EQ(TimeStamp(-5), "000000-5 ");
  EXPECT_EQ(TimeStamp(-5.9), "000000-5 ");
  EXPECT_EQ(TimeStamp(0), "00000000 ");
  EXPECT_EQ(TimeStamp(4294967296.0 + 7), "00000007 ");  // only the low 32 bits count
  EXPECT_EQ(TimeStamp(2147483648.0), "47483648 ");  // -2147483648, cut to eight
}

TEST_F(LogTest, OnlyTheFirstMarkersOfARecordAreStamped) {
  sink.WriteRecord("\r\n>a\r\n>b\r\n<c\r\n<");
  EXPECT_EQ(FileText(), Header() + "\r\n00012345 >a\r\n>b\r\n         <c\r\n<");
}

TEST_F(LogTest, DisabledSinkWritesNothingAndOpensNothing) {
  sink.Enabled = false;
  sink.LastElapsed = 7;
  sink.WriteRecord("\r\n>*A[41]\r\n<");
  EXPECT_EQ(FileText(), "<no file>");
  EXPECT_TRUE(sink.FileHandle.IsNotOpened());
  EXPECT_EQ(sink.LastElapsed, 7);
}

TEST_F(LogTest, WholeDialogueThroughWriteAndRead) {
  Attach();
  ASSERT_TRUE(OpenPort());
  EnterCommandState();
  SerialPort.ClearRx();
  SerialPort.ReadWithDeadline(5, 200);  // the lone 0x06
  SerialPort.SendHex("2A 41");
  SerialPort.ReadWithDeadline(6, 500);  // six reads of one byte, all on one line
  const std::string text = FileText();
  EXPECT_EQ(text.substr(0, Header().size()), Header());
  const std::string body = text.substr(Header().size());
  ASSERT_EQ(body.substr(0, 3), " 06");
  EXPECT_EQ(body.substr(3, 2), "\r\n");  // the version query opens a new line
  EXPECT_NE(body.find(" >*A[41]\r\n         < 2A 41 00 01 10 06"), std::string::npos) << body;
}

TEST_F(LogTest, BlockShorterThanTwoBytesShowsWhatTheBufferHolds) {
  SerialPort.TxBuffer[0] = 0x2A;
  SerialPort.TxBuffer[1] = 0x41;
  EXPECT_EQ(TransmitRecord(SerialPort, 1), "\r\n>*A[41]\r\n<");
  SerialPort.TxBuffer.fill(0);
  EXPECT_EQ(TransmitRecord(SerialPort, 0), std::string("\r\n>\0\0[00]\r\n<", 12));
}

TEST_F(LogTest, FailedSendIsStillRecordedInFull) {
  Attach();
  device->FailWritesFrom(Command::Version);
  ASSERT_TRUE(OpenPort());
  SerialPort.SendHex("2A 41");
  EXPECT_NE(FileText().find(">*A[41]"), std::string::npos);
}

TEST_F(LogTest, ReadThatBringsNothingIsNotLogged) {
  Attach();
  ASSERT_TRUE(OpenPort());
  SerialPort.Read(5);
  EXPECT_EQ(FileText(), "<no file>");
}

TEST_F(LogTest, ExistingFileIsAppendedToNeverTruncated) {
  std::ofstream(sink.FileName, std::ios::binary) << "earlier content";
  sink.WriteRecord(" 06");
  EXPECT_EQ(FileText(), "earlier content" + Header() + " 06");
  TTrafficLog second;
  second.Enabled = true;
  second.FileName = sink.FileName;
  second.WriteRecord(" 10");
  second.FileHandle = platform::AppendFile();
  EXPECT_EQ(FileText(), "earlier content" + Header() + " 06" + Header() + " 10");
}

TEST_F(LogTest, NobodyElseOpensTheFileWhileTheSinkHoldsIt) {
  sink.WriteRecord(" 06");
  const auto other = platform::AppendFile::OpenExclusive(sink.FileName);
  EXPECT_EQ(other.CurrentState(), platform::AppendFile::State::Failed);
}

TEST_F(LogTest, FileThatCannotBeOpenedIsNotTriedAgain) {
  sink.FileName = dir.File("missing-folder/traffic.log");
  sink.WriteRecord(" 06");
  EXPECT_EQ(sink.FileHandle.CurrentState(), platform::AppendFile::State::Failed);
  sink.WriteRecord(" 10");
  EXPECT_EQ(sink.FileHandle.CurrentState(), platform::AppendFile::State::Failed);
}

TEST_F(LogTest, NoSinkOrLoggingOffTouchesNoFile) {
  SerialPort.LogTraffic = true;  // but no sink
  ASSERT_TRUE(OpenPort());
  SerialPort.SendHex("2A 41");
  LogSink = &sink;
  SerialPort.LogTraffic = false;
  SerialPort.SendHex("2A 41");
  EXPECT_EQ(FileText(), "<no file>");
}

TEST(DateTimeTextTest, MidnightShowsTheDateAlone) {
  const std::string midnight = DateTimeText(platform::EncodeDateTime(2026, 12, 9, 0, 0, 0, 0));
  const std::string later = DateTimeText(platform::EncodeDateTime(2026, 12, 9, 0, 0, 1, 0));
  EXPECT_EQ(midnight.find(' '), std::string::npos);
  EXPECT_EQ(later.substr(0, midnight.size() + 1), midnight + " ");
}

#ifndef _WIN32
// The opening header in the locale's own forms, with the right weekday and
// the time zone where the forms show them (en_PH, en_IN). glibc's locales.
TEST(DateTimeTextTest, FollowsTheLocalesFormsWithWeekdayAndZone) {
  testing_support::ScratchFolder locales;
  for (const std::string name : {"en_PH", "en_IN"}) {
    const std::string build = "localedef -i " + name + " -f UTF-8 '" + locales.File(name + ".UTF-8") + "'";
    if (std::system(build.c_str()) != 0) GTEST_SKIP() << "localedef cannot build " << name;
  }
  const std::string savedLocale = std::setlocale(LC_TIME, nullptr);
  const char* savedZone = std::getenv("TZ");
  const std::string zone = savedZone != nullptr ? savedZone : "";
  setenv("LOCPATH", locales.path().c_str(), 1);
  setenv("TZ", "PHT-8", 1);  // eight hours east of UTC, named PHT
  tzset();
  const double instant = platform::EncodeDateTime(2026, 12, 9, 18, 30, 15, 0);  // a Wednesday
  ASSERT_NE(std::setlocale(LC_TIME, "en_PH.UTF-8"), nullptr);
  EXPECT_EQ(DateTimeText(instant), "Wednesday, 09 December, 2026 06:30:15 PM PHT");
  ASSERT_NE(std::setlocale(LC_TIME, "en_IN.UTF-8"), nullptr);
  EXPECT_EQ(DateTimeText(instant), "09/12/26 06:30:15 PM PHT");

  std::setlocale(LC_TIME, savedLocale.c_str());
  unsetenv("LOCPATH");
  if (savedZone != nullptr) setenv("TZ", zone.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}
#endif

}  // namespace
