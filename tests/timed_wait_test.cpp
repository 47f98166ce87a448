#include <gtest/gtest.h>

#include "virtual_time_test.h"

namespace {

using testing_support::operator""_ms;
using testing_support::VirtualTimeTest;

class TimedWaitTest : public VirtualTimeTest {};

class ShortWaitTest : public TimedWaitTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShortWaitTest, MakesOnePassThatRunsTheQueuedMessages) {
  int ran = 0;
  pump.Post([&] { ++ran; });
  TimedWait.Delay(GetParam());
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(pump.runs(), 1u);
  EXPECT_EQ(Elapsed(), platform::Nanos(0));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortWaitTest, ::testing::Values(0, -1, -2147483647 - 1));

TEST_F(TimedWaitTest, EndsExactlyAtItsDeadlineWithAFinalPass) {
  TimedWait.Delay(500);
  EXPECT_EQ(Elapsed(), 500_ms);
  EXPECT_EQ(pump.runs(), 2u);
  EXPECT_EQ(pump.runTimes.back() - clock.Start(), 500_ms);
}

TEST_F(TimedWaitTest, LongestWaitIsComputedWithoutOverflow) {
  TimedWait.Delay(2147483647);
  EXPECT_EQ(Elapsed(), std::chrono::milliseconds(2147483647));
}

TEST_F(TimedWaitTest, MessageInsideTheWaitRunsAtOnceAndTheWaitGoesOn) {
  platform::MonoTime handledAt{};
  pump.PostAt(clock.Start() + 50_ms, [&] { handledAt = clock.Now(); });
  TimedWait.Delay(100);
  EXPECT_EQ(handledAt - clock.Start(), 50_ms);
  EXPECT_EQ(Elapsed(), 100_ms);
}

TEST_F(TimedWaitTest, HandlerRunningTwoSecondsEndsTheWaitAfterIt) {
  pump.PostAt(clock.Start() + 100_ms, [&] { clock.Advance(std::chrono::seconds(2)); });
  TimedWait.Delay(500);
  EXPECT_EQ(Elapsed(), 2100_ms);
  // When the handler returns the wait reads the clock and makes one more pass.
  EXPECT_EQ(pump.runTimes.back() - clock.Start(), 2100_ms);
}

TEST_F(TimedWaitTest, WithoutPumpingNoMessageRuns) {
  TimedWait.PumpMessages = false;
  bool ran = false;
  pump.Post([&] { ran = true; });
  TimedWait.Delay(500);
  EXPECT_FALSE(ran);
  EXPECT_EQ(pump.runs(), 0u);
  EXPECT_EQ(Elapsed(), 500_ms);
}

class WallClockJumpTest : public TimedWaitTest, public ::testing::WithParamInterface<int> {};

TEST_P(WallClockJumpTest, DoesNotChangeTheLengthOfAWait) {
  clock.At(clock.Start() + 10_ms, [&] { clock.ShiftWallClock(std::chrono::hours(GetParam())); });
  const double wallBefore = clock.LocalDateTime();
  TimedWait.Delay(100);
  EXPECT_EQ(Elapsed(), 100_ms);
  EXPECT_NEAR(clock.LocalDateTime() - wallBefore, GetParam() / 24.0 + 0.1 / 86400, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Shifts, WallClockJumpTest, ::testing::Values(-1, 1));

TEST(DateTimeTest, EncodesDaysSinceTheEpochOfTheDateTimeValue) {
  EXPECT_DOUBLE_EQ(platform::EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(platform::EncodeDateTime(1900, 1, 1, 12, 0, 0, 0), 2.5);
  EXPECT_NEAR(platform::EncodeDateTime(2026, 12, 9, 0, 0, 10, 0), 46365.0 + 10.0 / 86400, 1e-9);
  const auto civil = platform::DecodeDateTime(platform::EncodeDateTime(2024, 2, 29, 23, 59, 58, 750));
  EXPECT_EQ(civil.year, 2024);
  EXPECT_EQ(civil.month, 2);
  EXPECT_EQ(civil.day, 29);
  EXPECT_EQ(civil.hour, 23);
  EXPECT_EQ(civil.minute, 59);
  EXPECT_EQ(civil.second, 58);
  EXPECT_EQ(civil.millisecond, 750);
}

}  // namespace
