// The Qt message pump on the real clock: a wait sleeps instead of spinning,
// and the messages that arrive meanwhile run inside it. Real time, so the
// bounds are generous.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <sys/resource.h>

#include "Utils.h"
#include "message_pump.h"
#include "services.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(QtPumpTest, DelayRunsTimersInsideTheWaitAndEndsAfterItsLength) {
  platform::QtMessagePump pump;
  const platform::ScopedServices usePump([&](platform::Services& services) { services.pump = &pump; });
  TTimedWait wait;
  bool fired = false;
  QTimer::singleShot(20, [&] { fired = true; });
  const auto start = Steady::now();
  const double cpuBefore = CpuSeconds();
  wait.Delay(300);
  const auto took = Steady::now() - start;
  EXPECT_TRUE(fired);
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 2000ms);
  // Sleeping, not spinning: far less processor time than wall time.
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.1);
}

TEST(QtPumpTest, WaitUntilReturnsEarlyForAMessage) {
  platform::QtMessagePump pump;
  QTimer::singleShot(10, [] {});
  const auto start = Steady::now();
  pump.WaitUntil(platform::CurrentClock().Now() + 5s);
  EXPECT_LT(Steady::now() - start, 2500ms);
}

}  // namespace
