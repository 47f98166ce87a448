// The process-wide state a run touches, as the program starts with it, for
// the lifetime of one test or fuzz input, and the same again afterwards: the
// serial port object and its pump time, the timed wait, the traffic log sink,
// the run's view of the window, the port table (machine ports off, numbers in
// memory, no hardware database), a pending stop, the last comm failure, and the clock and pump.
#pragma once

#include <optional>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "Utils.h"
#include "clock.h"
#include "comm_failure.h"
#include "log.h"
#include "message_pump.h"
#include "port_table.h"
#include "stop.h"
#ifndef _WIN32
#include "device_database.h"
#include "port_holders.h"
#endif

namespace testing_support {

#ifndef _WIN32
// The machine's hardware database differs between machines; tests that
// want names give a database of their own.
class NoDeviceNames final : public platform::ports::DeviceDatabase {
 public:
  platform::ports::UsbNames Lookup(unsigned, unsigned) override { return {}; }
};
#endif

class ProcessState {
 public:
  explicit ProcessState(platform::Clock* clock = nullptr, platform::MessagePump* pump = nullptr) {
    Reset();
    if (clock != nullptr) clock_.emplace(*clock);
    if (pump != nullptr) pump_.emplace(*pump);
  }
  ~ProcessState() { Reset(); }
  ProcessState(const ProcessState&) = delete;
  ProcessState& operator=(const ProcessState&) = delete;

  static void Reset() {
    LogSink = nullptr;
    SerialPort.Close();
    SerialPort = TSerialPort();
    TimedWait = TTimedWait();
    NextPumpTime = platform::MonoTime{};
    RunWindow = {};
    platform::ports::UnmapAll();
    platform::ports::UseMachinePorts(false);
    platform::ports::UseMachineFolders({});
    platform::ports::UseNumberStore(platform::ports::MemoryNumberStore());
#ifndef _WIN32
    platform::ports::UseDeviceDatabase(std::make_shared<NoDeviceNames>());
    platform::comm::SetLockFolders({"/nonexistent/corvane-test-locks"});
#endif
    platform::ClearStop();
    platform::comm::ClearLastFailure();
  }

 private:
  std::optional<platform::ScopedClock> clock_;
  std::optional<platform::ScopedPump> pump_;
};

}  // namespace testing_support
