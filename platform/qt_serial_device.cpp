#include "qt_serial_device.h"

#include <QSerialPort>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>
#include <unistd.h>

namespace platform {
namespace {

// Paths held open by this process; QSerialPort's lock file keeps other
// processes out, this keeps a second opener in this one out too.
std::set<std::string>& OpenPaths() {
  static std::set<std::string> paths;
  return paths;
}

std::string CanonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// One table from the serial library's errors to the Windows codes.
DWORD ToWindowsError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError:
      return ERROR_SUCCESS;
    case QSerialPort::DeviceNotFoundError:
      return ERROR_FILE_NOT_FOUND;
    case QSerialPort::PermissionError:
      return ERROR_ACCESS_DENIED;
    case QSerialPort::OpenError:
      return ERROR_SHARING_VIOLATION;
    case QSerialPort::ResourceError:
      return ERROR_DEVICE_NOT_CONNECTED;
    case QSerialPort::UnsupportedOperationError:
      return ERROR_NOT_SUPPORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

int MillisUntil(MonoTime until) {
  if (until == MonoTime::max()) return -1;
  const auto left = std::chrono::ceil<Millis>(until - CurrentClock().Now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

class QtSerialDevice final : public CommDevice, private ReadSource {
 public:
  explicit QtSerialDevice(std::string canonicalPath) : path_(std::move(canonicalPath)) {
    port_.setPortName(QString::fromStdString(path_));
  }

  ~QtSerialDevice() override {
    port_.close();
    if (registered_) OpenPaths().erase(path_);
  }

  DWORD Open() {
    if (access(path_.c_str(), F_OK) != 0) return ERROR_FILE_NOT_FOUND;
    if (access(path_.c_str(), R_OK | W_OK) != 0) return ERROR_ACCESS_DENIED;
    if (OpenPaths().count(path_) != 0) return ERROR_SHARING_VIOLATION;
    if (!port_.open(QIODevice::ReadWrite)) {
      // Access was granted above, so a refusal now means another holder.
      const DWORD error = ToWindowsError(port_.error());
      return error == ERROR_ACCESS_DENIED ? ERROR_SHARING_VIOLATION : error;
    }
    OpenPaths().insert(path_);
    registered_ = true;
    shadow_.DCBlength = sizeof(DCB);
    shadow_.XonLim = 2048;
    shadow_.XoffLim = 512;
    shadow_.XonChar = 0x11;
    shadow_.XoffChar = 0x13;
    return ERROR_SUCCESS;
  }

  BOOL SetTimeouts(const COMMTIMEOUTS& timeouts) override {
    timeouts_ = timeouts;
    return TRUE;
  }

  BOOL SetupQueues(DWORD inQueue, DWORD /*outQueue*/) override {
    port_.setReadBufferSize(inQueue);
    return TRUE;
  }

  BOOL GetState(DCB& dcb) override {
    dcb = shadow_;
    dcb.BaudRate = static_cast<DWORD>(port_.baudRate());
    dcb.ByteSize = static_cast<BYTE>(port_.dataBits());
    switch (port_.parity()) {
      case QSerialPort::OddParity: dcb.Parity = ODDPARITY; break;
      case QSerialPort::EvenParity: dcb.Parity = EVENPARITY; break;
      case QSerialPort::MarkParity: dcb.Parity = MARKPARITY; break;
      case QSerialPort::SpaceParity: dcb.Parity = SPACEPARITY; break;
      default: dcb.Parity = NOPARITY; break;
    }
    switch (port_.stopBits()) {
      case QSerialPort::OneAndHalfStop: dcb.StopBits = ONE5STOPBITS; break;
      case QSerialPort::TwoStop: dcb.StopBits = TWOSTOPBITS; break;
      default: dcb.StopBits = ONESTOPBIT; break;
    }
    dcb.fBinary = 1;
    const auto flow = port_.flowControl();
    dcb.fOutxCtsFlow = flow == QSerialPort::HardwareControl;
    dcb.fOutX = dcb.fInX = flow == QSerialPort::SoftwareControl;
    if (flow == QSerialPort::HardwareControl) {
      dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else if (HasModemLines()) {
      dcb.fRtsControl = port_.isRequestToSend() ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
      dcb.fDtrControl = port_.isDataTerminalReady() ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    }
    return TRUE;
  }

  BOOL SetState(const DCB& dcb) override {
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.BaudRate == 0 || dcb.BaudRate > INT_MAX) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    QSerialPort::Parity parity;
    switch (dcb.Parity) {
      case NOPARITY: parity = QSerialPort::NoParity; break;
      case ODDPARITY: parity = QSerialPort::OddParity; break;
      case EVENPARITY: parity = QSerialPort::EvenParity; break;
      case MARKPARITY: parity = QSerialPort::MarkParity; break;
      case SPACEPARITY: parity = QSerialPort::SpaceParity; break;
      default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    QSerialPort::StopBits stopBits;
    switch (dcb.StopBits) {
      case ONESTOPBIT: stopBits = QSerialPort::OneStop; break;
      case ONE5STOPBITS: stopBits = QSerialPort::OneAndHalfStop; break;
      case TWOSTOPBITS: stopBits = QSerialPort::TwoStop; break;
      default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) flow = QSerialPort::HardwareControl;
    else if (dcb.fOutX || dcb.fInX) flow = QSerialPort::SoftwareControl;

    if (!port_.setBaudRate(static_cast<qint32>(dcb.BaudRate)) ||
        !port_.setDataBits(static_cast<QSerialPort::DataBits>(dcb.ByteSize)) ||
        !port_.setParity(parity) || !port_.setStopBits(stopBits) || !port_.setFlowControl(flow)) {
      return Fail();
    }
    // A pseudo-terminal has no modem lines; there the line settings are all
    // there is to apply. A real port that refuses DTR or RTS is a failure.
    if (HasModemLines()) {
      if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE &&
          !port_.setDataTerminalReady(dcb.fDtrControl == DTR_CONTROL_ENABLE)) {
        return Fail();
      }
      if (flow != QSerialPort::HardwareControl &&
          !port_.setRequestToSend(dcb.fRtsControl == RTS_CONTROL_ENABLE)) {
        return Fail();
      }
    }
    shadow_ = dcb;
    shadow_.DCBlength = sizeof(DCB);
    return TRUE;
  }

  BOOL SetBreak(bool on) override { return port_.setBreakEnabled(on) ? TRUE : Fail(); }

  BOOL GetModemStatus(DWORD& status) override {
    port_.clearError();
    const QSerialPort::PinoutSignals pins = port_.pinoutSignals();
    if (port_.error() != QSerialPort::NoError) {
      status = 0;
      return Fail();
    }
    status = 0;
    if (pins & QSerialPort::ClearToSendSignal) status |= MS_CTS_ON;
    if (pins & QSerialPort::DataSetReadySignal) status |= MS_DSR_ON;
    if (pins & QSerialPort::RingIndicatorSignal) status |= MS_RING_ON;
    if (pins & QSerialPort::DataCarrierDetectSignal) status |= MS_RLSD_ON;
    return TRUE;
  }

  BOOL Write(const BYTE* data, DWORD count, DWORD& written) override {
    written = 0;
    if (count == 0) return TRUE;
    const MonoTime deadline =
        CurrentClock().Now() +
        Millis(static_cast<long long>(timeouts_.WriteTotalTimeoutMultiplier) * count +
               timeouts_.WriteTotalTimeoutConstant);
    const bool bounded = timeouts_.WriteTotalTimeoutMultiplier != 0 || timeouts_.WriteTotalTimeoutConstant != 0;
    if (port_.write(reinterpret_cast<const char*>(data), count) != static_cast<qint64>(count)) return Fail();
    while (port_.bytesToWrite() > 0) {
      const int left = bounded ? MillisUntil(deadline) : -1;
      if (left == 0 || !port_.waitForBytesWritten(left)) {
        if (port_.error() == QSerialPort::ResourceError) break;
        if (bounded && CurrentClock().Now() >= deadline) break;
      }
    }
    written = count - static_cast<DWORD>(std::min<qint64>(port_.bytesToWrite(), count));
    if (written < count) {
      // A write that timed out is cancelled, as on Windows.
      port_.clear(QSerialPort::Output);
      SetLastError(port_.error() == QSerialPort::ResourceError ? ERROR_DEVICE_NOT_CONNECTED : ERROR_GEN_FAILURE);
      return FALSE;
    }
    return TRUE;
  }

  BOOL Read(BYTE* data, DWORD count, DWORD& got) override {
    return ReadWithTimeouts(timeouts_, *this, data, count, got);
  }

 private:
  DWORD Take(BYTE* data, DWORD max) override {
    if (port_.bytesAvailable() == 0) port_.waitForReadyRead(0);
    const qint64 n = port_.read(reinterpret_cast<char*>(data), max);
    return n > 0 ? static_cast<DWORD>(n) : 0;
  }

  bool WaitForByte(MonoTime until) override {
    if (port_.bytesAvailable() > 0) return true;
    port_.waitForReadyRead(MillisUntil(until));
    return port_.bytesAvailable() > 0;
  }

  bool Failed() const override { return port_.error() == QSerialPort::ResourceError; }

  bool HasModemLines() {
    port_.clearError();
    port_.pinoutSignals();
    const bool has = port_.error() == QSerialPort::NoError;
    port_.clearError();
    return has;
  }

  BOOL Fail() {
    SetLastError(ToWindowsError(port_.error()));
    return FALSE;
  }

  std::string path_;
  bool registered_ = false;
  QSerialPort port_;
  COMMTIMEOUTS timeouts_{};
  DCB shadow_{};
};

class SerialDeviceEndpoint final : public CommEndpoint {
 public:
  explicit SerialDeviceEndpoint(std::string path) : path_(std::move(path)) {}

  std::unique_ptr<CommDevice> Open(DWORD& error) override {
    auto device = std::make_unique<QtSerialDevice>(CanonicalPath(path_));
    error = device->Open();
    if (error != ERROR_SUCCESS) return nullptr;
    return device;
  }

  std::string Description() const override { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::shared_ptr<CommEndpoint> MakeSerialDeviceEndpoint(std::string devicePath) {
  return std::make_shared<SerialDeviceEndpoint>(std::move(devicePath));
}

}  // namespace platform
