#include <algorithm>
#include <optional>

#include "comm_device.h"

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

  auto failedLine = [&]() -> BOOL {
    // Hold the caller for its time-out, as a driver waiting on a silent line would.
    clock.SleepUntil(total.value_or(start + Millis(250)));
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  };

  if (source.Failed()) return failedLine();
  while (got < count) {
    got += source.Take(data + got, count - got);
    if (got == count) break;
    if ((returnAtFirstByte || returnAtOnce) && got > 0) break;
    std::optional<MonoTime> until = total;
    if (interval && got > 0) {
      const MonoTime gap = clock.Now() + Millis(t.ReadIntervalTimeout);
      until = until ? std::min(*until, gap) : gap;
    }
    if (until && clock.Now() >= *until) break;
    if (!source.WaitForByte(until.value_or(MonoTime::max()))) {
      if (source.Failed()) return got > 0 ? TRUE : failedLine();
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
