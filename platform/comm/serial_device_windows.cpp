// A real serial port on Windows: the kernel's own comm calls behind one of
// the program's handles. Failures are recorded as the errno they stand for,
// so the program explains and classifies them as it does everywhere.
#include "comm_failure.h"
#include "serial_device.h"
#include "windows_errors.h"

namespace platform {
namespace {

// "COM7" and "\\.\COM7" both name the port; COM10 and above need the prefix.
std::string KernelName(const std::string& path) {
  return path.rfind("\\\\.\\", 0) == 0 ? path : "\\\\.\\" + path;
}

class KernelPort final : public CommDevice {
 public:
  KernelPort(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~KernelPort() override {
    ::ClearCommBreak(handle_);
    ::CloseHandle(handle_);
  }
  KernelPort(const KernelPort&) = delete;
  KernelPort& operator=(const KernelPort&) = delete;

  BOOL SetTimeouts(const COMMTIMEOUTS& timeouts) override {
    COMMTIMEOUTS copy = timeouts;
    return Checked(::SetCommTimeouts(handle_, &copy), "time-outs");
  }
  BOOL SetupQueues(DWORD inQueue, DWORD outQueue) override {
    return Checked(::SetupComm(handle_, inQueue, outQueue), "queues");
  }
  BOOL GetState(DCB& dcb) override {
    dcb.DCBlength = sizeof dcb;
    return Checked(::GetCommState(handle_, &dcb), "line settings");
  }
  BOOL SetState(const DCB& dcb) override {
    DCB copy = dcb;
    return Checked(::SetCommState(handle_, &copy), "line settings");
  }
  BOOL SetBreak(bool on) override {
    return Checked(on ? ::SetCommBreak(handle_) : ::ClearCommBreak(handle_), "break");
  }
  BOOL GetModemStatus(DWORD& status) override {
    return Checked(::GetCommModemStatus(handle_, &status), "modem lines");
  }
  BOOL Write(const BYTE* data, DWORD count, DWORD& written) override {
    written = 0;
    return Checked(::WriteFile(handle_, data, count, &written, nullptr), "write");
  }
  // The kernel keeps the time-outs itself.
  BOOL Read(BYTE* data, DWORD count, DWORD& got) override {
    got = 0;
    return Checked(::ReadFile(handle_, data, count, &got, nullptr), "read");
  }

 private:
  BOOL Checked(BOOL ok, const char* operation) {
    if (ok) return TRUE;
    return comm::Fail({ErrnoFromWindowsError(::GetLastError()), operation, path_});
  }

  HANDLE handle_;
  std::string path_;
};

class KernelPortEndpoint final : public CommEndpoint {
 public:
  explicit KernelPortEndpoint(std::string path) : path_(std::move(path)) {}

  std::unique_ptr<CommDevice> Open() override {
    // Share mode 0: nobody else may have the port meanwhile.
    const HANDLE handle = ::CreateFileA(KernelName(path_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      comm::Fail({ErrnoFromWindowsError(::GetLastError()), "open", path_});
      return nullptr;
    }
    return std::make_unique<KernelPort>(handle, path_);
  }
  std::string Description() const override { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::shared_ptr<CommEndpoint> MakeSerialDeviceEndpoint(std::string devicePath) {
  return std::make_shared<KernelPortEndpoint>(std::move(devicePath));
}

}  // namespace platform
