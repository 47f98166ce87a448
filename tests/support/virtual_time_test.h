// Fixture: virtual clock and test pump installed, the serial objects reset,
// and the emulator mapped explicitly to port 1.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Scom.h"
#include "Utils.h"
#include "corvane_emulator.h"
#include "port_table.h"
#include "queue_pump.h"
#include "process_state.h"

namespace testing_support {

class VirtualTimeTest : public ::testing::Test {
 protected:
  static constexpr DWORD kPort = 1;

  VirtualTimeTest() : pump(clock), state(&clock, &pump) {
    device = emulator::CorvaneEmulator::Create();
    platform::ports::MapEndpoint(kPort, device);
  }

  bool OpenPort(DWORD port = kPort) { return SerialPort.Open(port, 9600, 8, ONESTOPBIT, NOPARITY, false); }
  platform::Nanos Elapsed() const { return clock.Elapsed(); }
  // What RxBuffer holds, up to RxCount.
  emulator::Bytes Received() const {
    return emulator::Bytes(SerialPort.RxBuffer.begin(), SerialPort.RxBuffer.begin() + SerialPort.RxCount);
  }
  // Holds the break long enough for the interface to enter its command state.
  void EnterCommandState() {
    SerialPort.SetBreak();
    clock.Advance(std::chrono::milliseconds(1200));
    SerialPort.ClearBreak();
  }

  platform::VirtualClock clock;
  QueuePump pump;
  std::shared_ptr<emulator::CorvaneEmulator> device;

 private:
  ProcessState state;
};

inline std::chrono::milliseconds operator""_ms(unsigned long long ms) {
  return std::chrono::milliseconds(ms);
}

}  // namespace testing_support
