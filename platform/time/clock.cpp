#include "clock.h"

#include <cmath>
#include <ctime>

#include "services.h"
#include "stop.h"

namespace platform {
namespace {

constexpr double kMillisPerDay = 86'400'000.0;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

class RealClock final : public Clock {
 public:
  MonoTime Now() override { return std::chrono::steady_clock::now(); }

  double LocalDateTime() override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<Millis>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    LocalTime(seconds, local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, static_cast<int>(millis < 0 ? millis + 1000 : millis));
  }

  // A stop request ends the sleep early, so an interrupted run unwinds at once.
  void SleepUntil(MonoTime until) override { SleepUntilOrStopped(until); }
};

Clock& SystemClock() {
  static RealClock real;
  return real;
}

}  // namespace

Clock& CurrentClock() {
  Clock* installed = InstalledServices().clock;
  return installed != nullptr ? *installed : SystemClock();
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
  const long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                    DaysFromCivil(1899, 12, 30);
  const double millis = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
  return static_cast<double>(days) + millis / kMillisPerDay;
}

// An arbitrary but fixed origin keeps every virtual reading well after the
// zero time point, as a real monotonic clock is.
VirtualClock::VirtualClock()
    : start_(MonoTime{} + std::chrono::hours(1000)),
      now_(start_),
      wallAtStart_(EncodeDateTime(2026, 12, 9, 10, 0, 0, 0)) {}

double VirtualClock::LocalDateTime() {
  const Nanos wall = (now_ - start_) + wallOffset_;
  return wallAtStart_ + std::chrono::duration<double, std::milli>(wall).count() / kMillisPerDay;
}

void VirtualClock::SetWallClock(double dateTime) {
  wallAtStart_ = dateTime;
  wallOffset_ = -(now_ - start_);
}

void VirtualClock::SleepUntil(MonoTime until) {
  while (!scheduled_.empty() && scheduled_.begin()->first <= until) {
    auto next = scheduled_.begin();
    if (next->first > now_) now_ = next->first;
    auto action = std::move(next->second);
    scheduled_.erase(next);
    action();
    if (StopRequested()) return;  // as a real sleep wakes for it
  }
  if (until > now_ && !StopRequested()) now_ = until;
}

std::optional<MonoTime> VirtualClock::NextScheduled() const {
  if (scheduled_.empty()) return std::nullopt;
  return scheduled_.begin()->first;
}

void VirtualClock::At(MonoTime when, std::function<void()> action) {
  scheduled_.emplace(when, std::move(action));
}

}  // namespace platform

namespace platform {

CivilDateTime DecodeDateTime(double dateTime) {
  long long totalMillis = static_cast<long long>(std::llround(dateTime * kMillisPerDay));
  long long days = totalMillis / 86'400'000;
  long long millisOfDay = totalMillis % 86'400'000;
  if (millisOfDay < 0) {
    millisOfDay += 86'400'000;
    --days;
  }
  // Civil date from days since 1970-01-01 (inverse of DaysFromCivil).
  long z = static_cast<long>(days) + DaysFromCivil(1899, 12, 30) + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long y = static_cast<long>(yoe) + era * 400 + (m <= 2);
  CivilDateTime civil{};
  civil.year = static_cast<int>(y);
  civil.month = static_cast<int>(m);
  civil.day = static_cast<int>(d);
  civil.hour = static_cast<int>(millisOfDay / 3'600'000);
  civil.minute = static_cast<int>(millisOfDay / 60'000 % 60);
  civil.second = static_cast<int>(millisOfDay / 1000 % 60);
  civil.millisecond = static_cast<int>(millisOfDay % 1000);
  return civil;
}

}  // namespace platform
