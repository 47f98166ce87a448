// The serial port object and the exchange of command bytes over it.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "clock.h"
#include "win32.h"

inline constexpr int kSerialBufferSize = 8192;

// Line switches fed into Open; constants in this program.
inline constexpr bool RtsOn = true;
inline constexpr bool DtrOn = false;

// The toolkit's conversion error, raised by SendHex on a malformed pair.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TSerialPort {
 public:
  TSerialPort();

  std::array<BYTE, kSerialBufferSize> RxBuffer{};
  std::array<BYTE, kSerialBufferSize> TxBuffer{};
  std::int32_t RxCount = 0;
  bool EchoReadBack = false;
  bool LogTraffic = false;
  bool LogHex = true;
  bool LogDecimal = false;
  DCB LineSettings{};
  HANDLE Handle = nullptr;
  bool IsOpen = false;

  bool Open(DWORD portNumber, DWORD baudRate, BYTE byteSize, BYTE stopBits, BYTE parity,
            bool parityCheck);
  bool SetBreak();
  bool ClearBreak();
  bool CarrierDetect();
  bool Close();

  bool Write(std::int32_t n);
  std::int32_t Read(std::int32_t n);
  void ClearRx();
  bool SendHex(std::string text);
  bool ReadWithDeadline(std::int32_t n, std::int32_t ms);
};

// The device name Open builds for a port number; empty when it would not fit
// the 15 characters of the name buffer.
std::string CommDeviceName(DWORD portNumber);

extern TSerialPort SerialPort;
// Before this time Read does not run the window's messages again.
extern platform::MonoTime NextPumpTime;
