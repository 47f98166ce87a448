// What stands behind a comm handle: a real serial device or the simulated
// interface. CreateFileA finds the endpoint through the port table
// and keeps the device it opens until CloseHandle.
#pragma once

#include <memory>
#include <string>

#include "clock.h"
#include "win32.h"

namespace platform {

class CommDevice {
 public:
  virtual ~CommDevice() = default;
  // Each returns FALSE with SetLastError() on failure, as the Windows call does.
  virtual BOOL SetTimeouts(const COMMTIMEOUTS& timeouts) = 0;
  virtual BOOL SetupQueues(DWORD inQueue, DWORD outQueue) = 0;
  virtual BOOL GetState(DCB& dcb) = 0;
  virtual BOOL SetState(const DCB& dcb) = 0;
  virtual BOOL SetBreak(bool on) = 0;
  virtual BOOL GetModemStatus(DWORD& status) = 0;
  virtual BOOL Write(const BYTE* data, DWORD count, DWORD& written) = 0;
  virtual BOOL Read(BYTE* data, DWORD count, DWORD& got) = 0;
};

class CommEndpoint {
 public:
  virtual ~CommEndpoint() = default;
  // Null, with the reason recorded by comm::Fail(), when the port cannot be opened.
  virtual std::unique_ptr<CommDevice> Open() = 0;
  virtual std::string Description() const = 0;
};

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
