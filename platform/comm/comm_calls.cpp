// The Windows comm calls over the port table's devices.
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>

#include "comm_calls.h"
#include "comm_device.h"
#include "comm_failure.h"
#include "port_table.h"
#include "serial_device.h"
#include "win32.h"

namespace {

// Handles are small numbers, never pointers, so a stale handle after
// CloseHandle is refused instead of touching freed memory. Their two low bits
// are set, which a kernel handle's never are: one passed to the wrong side
// fails there.
class HandleTable {
 public:
  HANDLE Add(std::unique_ptr<platform::CommDevice> device) {
    const std::uintptr_t key = next_;
    next_ += 4;
    devices_.emplace(key, std::move(device));
    return reinterpret_cast<HANDLE>(key);
  }

  platform::CommDevice* Find(HANDLE handle) {
    const auto found = devices_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == devices_.end() ? nullptr : found->second.get();
  }

  bool Remove(HANDLE handle) { return devices_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1; }

 private:
  std::map<std::uintptr_t, std::unique_ptr<platform::CommDevice>> devices_;
  std::uintptr_t next_ = 0x1003;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

platform::CommDevice* DeviceOf(HANDLE handle) {
  platform::CommDevice* device = Handles().Find(handle);
  if (device == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return device;
}

HANDLE OpenFailed(platform::comm::CommFailure failure) {
  platform::comm::Fail(std::move(failure));
  return INVALID_HANDLE_VALUE;
}

}  // namespace

namespace platform::comm {

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                   LPSECURITY_ATTRIBUTES /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  const auto number = platform::ports::ParsePortName(fileName);
  if (!number) return OpenFailed({ENOENT, "open", fileName == nullptr ? "" : fileName});
  if (creationDisposition != OPEN_EXISTING || (desiredAccess & (GENERIC_READ | GENERIC_WRITE)) == 0) {
    return OpenFailed({EINVAL, "open"});
  }
  const auto endpoint = platform::ports::Resolve(*number, platform::MakeSerialDeviceEndpoint);
  if (!endpoint) {
    // A number whose adapter is absent names it; nothing else is ever opened.
    platform::comm::CommFailure failure{ENOENT, "open"};
    failure.port = *number;
    const platform::ports::PortList known = platform::ports::List();
    for (const auto& entry : known.ports) {
      if (entry.number == *number) failure.identity = entry.identity;
    }
    failure.numbering = known.problem;
    return OpenFailed(std::move(failure));
  }
  auto device = endpoint->Open();
  if (!device) {
    auto failure = platform::comm::LastFailure();
    failure.port = *number;
    return OpenFailed(std::move(failure));
  }
  platform::comm::ClearLastFailure();
  SetLastError(ERROR_SUCCESS);
  return Handles().Add(std::move(device));
}

BOOL CloseHandle(HANDLE handle) {
  if (!Handles().Remove(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED /*overlapped*/) {
  DWORD written = 0;
  BOOL ok = FALSE;
  if (auto* device = DeviceOf(handle)) {
    ok = device->Write(static_cast<const BYTE*>(buffer), bytesToWrite, written);
  }
  if (bytesWritten != nullptr) *bytesWritten = written;
  return ok;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED /*overlapped*/) {
  DWORD got = 0;
  BOOL ok = FALSE;
  if (auto* device = DeviceOf(handle)) ok = device->Read(static_cast<BYTE*>(buffer), bytesToRead, got);
  if (bytesRead != nullptr) *bytesRead = got;
  return ok;
}

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
  auto* device = DeviceOf(handle);
  if (device == nullptr) return FALSE;
  if (timeouts == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return device->SetTimeouts(*timeouts);
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
  auto* device = DeviceOf(handle);
  return device == nullptr ? FALSE : device->SetupQueues(inQueue, outQueue);
}

BOOL GetCommState(HANDLE handle, LPDCB dcb) {
  auto* device = DeviceOf(handle);
  if (device == nullptr) return FALSE;
  if (dcb == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return device->GetState(*dcb);
}

BOOL SetCommState(HANDLE handle, LPDCB dcb) {
  auto* device = DeviceOf(handle);
  if (device == nullptr) return FALSE;
  if (dcb == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return device->SetState(*dcb);
}

BOOL SetCommBreak(HANDLE handle) {
  auto* device = DeviceOf(handle);
  return device == nullptr ? FALSE : device->SetBreak(true);
}

BOOL ClearCommBreak(HANDLE handle) {
  auto* device = DeviceOf(handle);
  return device == nullptr ? FALSE : device->SetBreak(false);
}

BOOL GetCommModemStatus(HANDLE handle, LPDWORD modemStatus) {
  auto* device = DeviceOf(handle);
  if (device == nullptr) return FALSE;
  DWORD status = 0;
  const BOOL ok = device->GetModemStatus(status);
  if (modemStatus != nullptr) *modemStatus = ok ? status : 0;
  return ok;
}

}  // namespace platform::comm
