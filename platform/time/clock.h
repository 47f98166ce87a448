// The one source of time. Waits and deadlines use the monotonic reading;
// time stamps use the local date-time value (days since 30 December 1899).
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <optional>

namespace platform {

using MonoTime = std::chrono::steady_clock::time_point;
using Nanos = std::chrono::nanoseconds;
using Millis = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual MonoTime Now() = 0;
  // Local wall-clock time as a count of days since 1899-12-30 00:00.
  virtual double LocalDateTime() = 0;
  // Blocks (or, on a virtual clock, advances) until `until`, or until a stop
  // is requested (see stop.h).
  virtual void SleepUntil(MonoTime until) = 0;
  // A virtual clock never blocks; waiting code may skip real waits on it.
  virtual bool IsVirtual() const { return false; }
};

// The installed record's clock (services.h), or the system's.
Clock& CurrentClock();

// The local time of `seconds` in the machine's time zone; false when it has
// none (localtime_r on POSIX, localtime_s on Windows).
bool LocalTime(std::time_t seconds, std::tm& local);

// Date-time value for a civil local date and time.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond);

// Time in which waiting moves the clock forward at once. Actions scheduled
// with At() run when the clock reaches their time, in time order.
class VirtualClock : public Clock {
 public:
  VirtualClock();

  MonoTime Now() override { return now_; }
  double LocalDateTime() override;
  void SleepUntil(MonoTime until) override;
  bool IsVirtual() const override { return true; }

  void Advance(Nanos by) { SleepUntil(now_ + by); }
  void At(MonoTime when, std::function<void()> action);
  void After(Nanos delay, std::function<void()> action) { At(now_ + delay, std::move(action)); }
  // Moves the wall clock without touching the monotonic reading.
  void ShiftWallClock(Nanos by) { wallOffset_ += by; }
  void SetWallClock(double dateTime);

  std::optional<MonoTime> NextScheduled() const;
  MonoTime Start() const { return start_; }
  Nanos Elapsed() const { return now_ - start_; }

 private:
  MonoTime start_;
  MonoTime now_;
  double wallAtStart_;
  Nanos wallOffset_{0};
  std::multimap<MonoTime, std::function<void()>> scheduled_;
};

struct CivilDateTime {
  int year, month, day, hour, minute, second, millisecond;
};
CivilDateTime DecodeDateTime(double dateTime);

}  // namespace platform
