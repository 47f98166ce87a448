// A read from a device's byte queue by the Windows time-out rules, shared by
// the real lines and the simulated interface.
#pragma once

#include "clock.h"
#include "win32.h"

namespace platform {

// The byte queue of a device as a read with COMMTIMEOUTS sees it.
class ReadSource {
 public:
  virtual ~ReadSource() = default;
  // Moves up to `max` received bytes into `data`; returns how many.
  virtual DWORD Take(BYTE* data, DWORD max) = 0;
  // Waits until a byte is there or `until` has come; true when a byte is there.
  virtual bool WaitForByte(MonoTime until) = 0;
  // The line has failed (device gone): no byte will come.
  virtual bool Failed() const = 0;
  // Records the failure of the line and returns FALSE, as a call on it does.
  virtual BOOL ReportLost() = 0;
};

// A read by the Windows time-out rules: the interval and total time-outs, and
// the special case MAXDWORD/MAXDWORD/constant, which returns at once with what
// is waiting, else with the first byte to arrive, else after the constant.
// A read on a failed line fails only when its time-out has passed, so code
// that polls a dead port does not spin; a stop request ends it at once.
BOOL ReadWithTimeouts(const COMMTIMEOUTS& timeouts, ReadSource& source, BYTE* data, DWORD count,
                      DWORD& got);

}  // namespace platform
