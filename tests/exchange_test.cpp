#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "virtual_time_test.h"

namespace {

using emulator::Bytes;
using emulator::Command;
using testing_support::operator""_ms;
using testing_support::VirtualTimeTest;

class ExchangeTest : public VirtualTimeTest {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenPort()); }
};

struct ParseCase {
  const char* name;
  std::string text;
  Bytes sent;
};

class SendHexParseTest : public ExchangeTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(SendHexParseTest, SendsTheBytesOfTheText) {
  SerialPort.RxCount = 3;
  SerialPort.RxBuffer[0] = 0x99;
  EXPECT_TRUE(SerialPort.SendHex(GetParam().text));
  EXPECT_EQ(SerialPort.RxCount, 0);
  EXPECT_EQ(SerialPort.RxBuffer[0], 0);
  clock.Advance(100_ms);
  EXPECT_EQ(device->received(), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SendHexParseTest,
    ::testing::Values(ParseCase{"Plain", "2A 41", {0x2A, 0x41}},
                      ParseCase{"LowerCaseNoBlank", "2a41", {0x2A, 0x41}},
                      ParseCase{"SeveralBlanks", "2A   41", {0x2A, 0x41}},
                      ParseCase{"TabsAndLineEnds", "2A\t41\r\n", {0x2A, 0x41}},
                      ParseCase{"TrailingBlank", "2A 44 01 ", {0x2A, 0x44, 0x01}},
                      ParseCase{"LoneDigitAtEndIgnored", "2A 4", {0x2A}},
                      ParseCase{"Empty", "", {}},
                      ParseCase{"SingleCharacter", "2", {}},
                      ParseCase{"AllValues", "00 7F 80 FF", {0x00, 0x7F, 0x80, 0xFF}}),
    [](const auto& info) { return info.param.name; });

struct BadCase {
  const char* name;
  std::string text;
  std::string message;
  Bytes txHead;
};

class SendHexErrorTest : public ExchangeTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(SendHexErrorTest, RaisesTheConversionErrorAndSendsNothing) {
  SerialPort.RxBuffer[0] = 0x77;
  SerialPort.RxCount = 1;
  try {
    SerialPort.SendHex(GetParam().text);
    FAIL() << "no error for " << GetParam().text;
  } catch (const EConvertError& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().message);
  }
  clock.Advance(100_ms);
  EXPECT_TRUE(device->received().empty());
  EXPECT_EQ(SerialPort.RxCount, 1);
  EXPECT_EQ(SerialPort.RxBuffer[0], 0x77);
  for (std::size_t i = 0; i < GetParam().txHead.size(); ++i) EXPECT_EQ(SerialPort.TxBuffer[i], GetParam().txHead[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SendHexErrorTest,
    ::testing::Values(BadCase{"LeadingBlank", " 2A", "'0x 2' is not a valid integer value", {}},
                      BadCase{"BlankInsidePair", "2 A", "'0x2 ' is not a valid integer value", {}},
                      BadCase{"NotHex", "2A 4G", "'0x4G' is not a valid integer value", {0x2A}},
                      BadCase{"Sign", "-1", "'0x-1' is not a valid integer value", {}},
                      // Found by fuzzing: control characters are no digits either (the
                      // message is a C string, so it ends at the first NUL of the pair).
                      BadCase{"NulBytes", std::string("\0\0 2", 4), "'0x", {}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ExchangeTest, SendHexOfMoreThanTheBufferSendsTheFirst8192Bytes) {
  std::string text;
  for (int i = 0; i < 8192 + 10; ++i) text += i < 8192 ? "11 " : "ZZ ";
  EXPECT_TRUE(SerialPort.SendHex(text));
  clock.Advance(std::chrono::seconds(10));
  EXPECT_EQ(device->received().size(), 8192u);
}

TEST_F(ExchangeTest, EchoReadBackDiscardsAsManyBytesAsWereSent) {
  SerialPort.Close();
  device->pendingAtOpen = {1, 2, 3, 4, 5};
  ASSERT_TRUE(OpenPort());
  SerialPort.EchoReadBack = true;
  SerialPort.SendHex("2A 42 81");
  EXPECT_EQ(SerialPort.RxCount, 0);
  ASSERT_FALSE(device->readRequests().empty());
  EXPECT_EQ(device->readRequests().front(), 3u);
  // What was not read back is still queued for the next read.
  SerialPort.Read(5);
  EXPECT_EQ(Received(), (Bytes{4, 5}));
}

TEST_F(ExchangeTest, ReadWithDeadlineOfZeroPumpsOnceAndReadsNothing) {
  EXPECT_TRUE(SerialPort.ReadWithDeadline(0, 500));
  EXPECT_EQ(pump.runs(), 1u);
  EXPECT_TRUE(device->readRequests().empty());
  EXPECT_EQ(Elapsed(), platform::Nanos(0));
}

TEST_F(ExchangeTest, ReadWithDeadlineCollectsTwoBursts) {
  device->entryReply = {0x06, 1, 2, 3, 4};
  device->Rule(Command::Entry).lastByteDelay = 30_ms;
  EnterCommandState();
  clock.Advance(10_ms);  // four bytes are in, the fifth comes 30 ms later
  SerialPort.ClearRx();
  EXPECT_TRUE(SerialPort.ReadWithDeadline(5, 100));
  EXPECT_EQ(SerialPort.RxCount, 5);
  EXPECT_EQ(Received(), (Bytes{0x06, 1, 2, 3, 4}));
  EXPECT_EQ(device->readRequests(), (std::vector<DWORD>{5, 1}));
}

TEST_F(ExchangeTest, LastByteJustAfterTheDeadlineGivesFalseWithAllBytesIn) {
  device->entryReply = {0x06, 1, 2};
  const auto byte = device->byteTime();
  // The last byte lands 1 ms after a 100 ms deadline.
  device->Rule(Command::Entry).lastByteDelay =
      std::chrono::duration_cast<std::chrono::milliseconds>(101_ms - 3 * byte) + 1_ms;
  EnterCommandState();
  SerialPort.ClearRx();
  EXPECT_FALSE(SerialPort.ReadWithDeadline(3, 100));
  EXPECT_EQ(Received(), (Bytes{0x06, 1, 2}));
}

TEST_F(ExchangeTest, ReadWithNothingArrivingReturnsAfter250ms) {
  SerialPort.RxCount = 2;
  EXPECT_EQ(SerialPort.Read(4), 2);
  EXPECT_EQ(Elapsed(), 250_ms);
}

TEST_F(ExchangeTest, SilentLineRunsAReadPastItsDeadlineByUpToOneReadTimeOut) {
  EXPECT_FALSE(SerialPort.ReadWithDeadline(5, 100));
  EXPECT_EQ(Elapsed(), 250_ms);
  const auto start = Elapsed();
  EXPECT_FALSE(SerialPort.ReadWithDeadline(5, 500));
  EXPECT_EQ(Elapsed() - start, 750_ms);
}

TEST_F(ExchangeTest, ByteArrivingAfterAReadIsNotLostByClearRx) {
  device->entryReply = {0x06, 0x42};
  device->Rule(Command::Entry).lastByteDelay = 300_ms;
  EnterCommandState();
  SerialPort.ClearRx();
  SerialPort.ReadWithDeadline(1, 50);
  EXPECT_EQ(Received(), (Bytes{0x06}));
  SerialPort.ClearRx();
  SerialPort.ReadWithDeadline(1, 500);
  EXPECT_EQ(Received(), (Bytes{0x42}));
}

TEST_F(ExchangeTest, ReadTakesNoMoreThanFitsInTheBuffer) {
  SerialPort.Close();
  device->pendingAtOpen = Bytes(10, 0xAB);
  ASSERT_TRUE(OpenPort());
  SerialPort.RxCount = kSerialBufferSize - 4;
  EXPECT_EQ(SerialPort.Read(100), kSerialBufferSize);
  EXPECT_EQ(device->readRequests().back(), 4u);
}

TEST_F(ExchangeTest, WriteReportsAShortWrite) {
  SerialPort.TxBuffer[0] = 0x2A;
  SerialPort.TxBuffer[1] = 0x41;
  EXPECT_TRUE(SerialPort.Write(2));
  EXPECT_TRUE(SerialPort.Write(0));
  device->FailWritesFrom(Command::Version);
  EXPECT_FALSE(SerialPort.Write(2));
}

TEST_F(ExchangeTest, ReadRunsTheMessagesAtMostOnceInTenSeconds) {
  for (int i = 0; i < 100; ++i) SerialPort.Read(1);  // 25 s of silent reads
  ASSERT_EQ(pump.runs(), 3u);
  EXPECT_EQ(pump.runTimes[0] - clock.Start(), 250_ms);
  // Reads end every 250 ms; the first one strictly past the 10 s mark pumps.
  EXPECT_EQ(pump.runTimes[1] - pump.runTimes[0], 10250_ms);
  EXPECT_EQ(pump.runTimes[2] - pump.runTimes[1], 10250_ms);
}

}  // namespace
