#include "Scom.h"

#include <algorithm>
#include <cerrno>

#include "comm_calls.h"
#include "comm_failure.h"
#include "hex.h"
#include "log.h"
#include "message_pump.h"
#include "port_name.h"
#include "stop.h"

TSerialPort SerialPort;
platform::MonoTime NextPumpTime{};

namespace {

constexpr auto kPumpInterval = std::chrono::seconds(10);
constexpr std::size_t kDeviceNameBuffer = 16;

// "0x" and two hex digits, as the toolkit's integer conversion takes it.
BYTE ConvertPair(const std::string& pair) {
  const int high = platform::HexDigitValue(pair[2]);
  const int low = platform::HexDigitValue(pair[3]);
  if (high < 0 || low < 0) throw EConvertError("'" + pair + "' is not a valid integer value");
  return static_cast<BYTE>(high * 16 + low);
}

}  // namespace

TSerialPort::TSerialPort() = default;  // the settings as the class gives them

// The name by the two-prefix rule, cut to the 16-byte buffer.
std::string CommDeviceName(DWORD portNumber) {
  std::string name = platform::ports::PortDeviceName(portNumber);
  // Cutting the name would open another port, so a name that does not fit opens none.
  if (name.size() > kDeviceNameBuffer - 1) return {};
  return name;
}

bool TSerialPort::Open(DWORD portNumber, DWORD baudRate, BYTE byteSize, BYTE stopBits, BYTE parity,
                       bool parityCheck) {
  const std::string name = CommDeviceName(portNumber);
  if (!IsOpen) {
    if (name.empty()) {
      platform::comm::CommFailure tooLong{ENAMETOOLONG, "open", platform::ports::PortDeviceName(portNumber)};
      tooLong.port = portNumber;
      platform::comm::Fail(std::move(tooLong));
      return false;
    }
    Handle = platform::comm::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (Handle == INVALID_HANDLE_VALUE) return false;
  IsOpen = true;

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = 250;
  timeouts.WriteTotalTimeoutMultiplier = 2;
  timeouts.WriteTotalTimeoutConstant = 500;
  if (!platform::comm::SetCommTimeouts(Handle, &timeouts)) return false;
  if (!platform::comm::SetupComm(Handle, kSerialBufferSize, kSerialBufferSize)) return false;
  if (!platform::comm::GetCommState(Handle, &LineSettings)) return false;

  LineSettings.BaudRate = baudRate;
  LineSettings.fBinary = 1;
  LineSettings.fParity = parityCheck ? 1 : 0;
  LineSettings.fOutxCtsFlow = 0;
  LineSettings.fOutxDsrFlow = 0;
  LineSettings.fDtrControl = DtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  LineSettings.fDsrSensitivity = 0;
  LineSettings.fTXContinueOnXoff = 1;
  LineSettings.fOutX = 0;
  LineSettings.fInX = 0;
  LineSettings.fErrorChar = 0;
  LineSettings.fNull = 0;
  LineSettings.fRtsControl = RtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  LineSettings.fAbortOnError = 0;
  LineSettings.XonLim = 512;
  LineSettings.XoffLim = 512;
  LineSettings.ByteSize = byteSize;
  LineSettings.Parity = parity;
  LineSettings.StopBits = stopBits;
  if (!platform::comm::SetCommState(Handle, &LineSettings)) return false;

  IsOpen = true;
  return true;
}

bool TSerialPort::SetBreak() { return platform::comm::SetCommBreak(Handle) != FALSE; }

bool TSerialPort::ClearBreak() { return platform::comm::ClearCommBreak(Handle) != FALSE; }

bool TSerialPort::CarrierDetect() {
  DWORD status = 0;
  // A port without modem lines (a pseudo-terminal) cannot report the slot;
  // it counts as empty so that such a port can still be used.
  if (!platform::comm::GetCommModemStatus(Handle, &status)) return true;
  return (status & MS_RLSD_ON) != 0;
}

bool TSerialPort::Close() {
  if (IsOpen) platform::comm::CloseHandle(Handle);
  IsOpen = false;
  return true;
}

bool TSerialPort::Write(std::int32_t n) {
  const DWORD count = static_cast<DWORD>(std::clamp(n, 0, kSerialBufferSize));
  DWORD written = 0;
  platform::comm::WriteFile(Handle, TxBuffer.data(), count, &written, nullptr);
  if (LogTraffic && LogSink != nullptr) LogSink->WriteRecord(TransmitRecord(*this, count));
  return static_cast<std::int64_t>(written) == n;
}

std::int32_t TSerialPort::Read(std::int32_t n) {
  const std::int32_t room = kSerialBufferSize - RxCount;
  const DWORD count = static_cast<DWORD>(std::clamp(n, 0, room));
  DWORD got = 0;
  platform::comm::ReadFile(Handle, RxBuffer.data() + RxCount, count, &got, nullptr);
  got = std::min(got, count);
  RxCount += static_cast<std::int32_t>(got);
  if (got > 0 && LogTraffic && LogSink != nullptr) {
    LogSink->WriteRecord(ReceiveRecord(*this, static_cast<std::int32_t>(got)));
  }

  const platform::MonoTime now = platform::CurrentClock().Now();
  if (now > NextPumpTime) {
    NextPumpTime = now + kPumpInterval;
    platform::CurrentPump().RunQueued();
  }
  // A read that a stop request cut short ends the run here.
  platform::ThrowIfStopRequested();
  return RxCount;
}

void TSerialPort::ClearRx() {
  RxCount = 0;
  RxBuffer.fill(0);
}

bool TSerialPort::SendHex(std::string text) {
  std::int32_t count = 0;
  // Indices instead of copies keep a long text linear; the trimming is the
  // same: none before the first pair, both ends after each pair.
  std::size_t pos = 0;
  std::size_t end = text.size();
  while (end - pos >= 2 && count < kSerialBufferSize) {
    const std::string pair = "0x" + text.substr(pos, 2);
    pos += 2;
    while (pos < end && static_cast<unsigned char>(text[pos]) <= 32) ++pos;
    while (end > pos && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    TxBuffer[static_cast<std::size_t>(count)] = ConvertPair(pair);
    ++count;
  }
  ClearRx();
  Write(count);
  if (EchoReadBack) {
    ReadWithDeadline(count, 100);
    ClearRx();
  }
  return true;
}

bool TSerialPort::ReadWithDeadline(std::int32_t n, std::int32_t ms) {
  platform::Clock& clock = platform::CurrentClock();
  std::int32_t got = 0;
  const platform::MonoTime deadline = clock.Now() + platform::Millis(ms);
  platform::CurrentPump().RunQueued();
  if (got >= n) return true;
  for (;;) {
    got = Read(n - got);
    if (clock.Now() > deadline) return false;
    if (got >= n) return true;
  }
}
