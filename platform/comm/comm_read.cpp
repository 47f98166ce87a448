#include <algorithm>
#include <cerrno>
#include <optional>

#include "comm_read.h"
#include "comm_failure.h"
#include "stop.h"

namespace platform {

BOOL ReadWithTimeouts(const COMMTIMEOUTS& t, ReadSource& source, BYTE* data, DWORD count,
                      DWORD& got) {
  got = 0;
  Clock& clock = CurrentClock();
  const MonoTime start = clock.Now();

  const bool returnAtFirstByte = t.ReadIntervalTimeout == MAXDWORD &&
                                 t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                                 t.ReadTotalTimeoutConstant > 0 &&
                                 t.ReadTotalTimeoutConstant < MAXDWORD;
  const bool returnAtOnce = t.ReadIntervalTimeout == MAXDWORD &&
                            t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;

  std::optional<MonoTime> total;
  if (returnAtFirstByte) {
    total = start + Millis(t.ReadTotalTimeoutConstant);
  } else if (returnAtOnce) {
    total = start;
  } else if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
    total = start + Millis(static_cast<long long>(t.ReadTotalTimeoutMultiplier) * count +
                           t.ReadTotalTimeoutConstant);
  }
  const bool interval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD;

  // Bytes that came before the line failed or the run was stopped are the
  // caller's; otherwise the read fails.
  auto ended = [&]() -> BOOL {
    if (got > 0) return TRUE;
    if (StopRequested()) return comm::Fail({ECANCELED, "read"});
    // Hold the caller for its time-out, asleep, as a driver waiting on a
    // silent line would: code that polls a dead port must not spin.
    clock.SleepUntil(total.value_or(start + Millis(250)));
    return source.ReportLost();
  };

  while (got < count) {
    if (source.Failed() || StopRequested()) return ended();
    got += source.Take(data + got, count - got);
    if (got == count) break;
    if (source.Failed()) return ended();
    if ((returnAtFirstByte || returnAtOnce) && got > 0) break;
    std::optional<MonoTime> until = total;
    if (interval && got > 0) {
      const MonoTime gap = clock.Now() + Millis(t.ReadIntervalTimeout);
      until = until ? std::min(*until, gap) : gap;
    }
    if (until && clock.Now() >= *until) break;
    if (!source.WaitForByte(until.value_or(MonoTime::max()))) {
      if (source.Failed() || StopRequested()) return ended();
      // Past a time-out, whatever came with it is taken; an interval gap must
      // not be measured afresh from here.
      if (until && clock.Now() >= *until) {
        got += source.Take(data + got, count - got);
        break;
      }
    }
  }
  return TRUE;
}

}  // namespace platform
