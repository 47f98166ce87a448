// The serial objects as the program starts with them, for each test or run.
#pragma once

#include "Scom.h"
#include "Utils.h"

namespace testing_support {

inline void ResetSerialObjects() {
  SerialPort.Close();
  SerialPort = TSerialPort();
  TimedWait = TTimedWait();
  NextPumpTime = platform::MonoTime{};
}

}  // namespace testing_support
