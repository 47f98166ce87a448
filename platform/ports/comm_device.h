// What stands behind a comm handle: a real serial device or the simulated
// interface. CreateFileA finds the endpoint through the port table
// (port_table.h) and keeps the device it opens until CloseHandle.
#pragma once

#include <memory>
#include <string>

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

}  // namespace platform
