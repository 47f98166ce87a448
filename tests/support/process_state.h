// The process-wide state a run touches, as the program starts with it, for
// the lifetime of one test or fuzz input, and the same again afterwards: the
// serial port object and its pump time, the timed wait, the traffic log sink,
// the run's view of the window, a pending stop, the last comm failure; and
// the services of a test (TestServices), with their port mappings.
#pragma once

#include <memory>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "Utils.h"
#include "clock.h"
#include "comm_failure.h"
#include "device_database.h"
#include "log.h"
#include "message_pump.h"
#include "port_table.h"
#include "services.h"
#include "stop.h"

namespace testing_support {

#ifndef _WIN32
// The machine's hardware database differs between machines; tests that
// want names give a database of their own.
class NoDeviceNames final : public platform::ports::DeviceDatabase {
 public:
  platform::ports::UsbNames Lookup(unsigned, unsigned) override { return {}; }
};
#endif

// No machine port, numbers in memory, no hardware names, no lock folder: a
// test reaches only what it maps.
inline platform::Services TestServices(platform::Clock* clock = nullptr, platform::MessagePump* pump = nullptr) {
  platform::Services services;
  services.clock = clock;
  services.pump = pump;
  services.machinePorts = false;
  services.numberStore = platform::ports::MemoryNumberStore();
#ifndef _WIN32
  services.deviceDatabase = std::make_shared<NoDeviceNames>();
  services.lockFolders = {"/nonexistent/corvane-test-locks"};
#endif
  return services;
}

class ProcessState {
 public:
  explicit ProcessState(platform::Clock* clock = nullptr, platform::MessagePump* pump = nullptr)
      : ProcessState(TestServices(clock, pump)) {}
  explicit ProcessState(platform::Services services) : services_(std::move(services)) { Reset(); }
  ~ProcessState() { Reset(); }
  ProcessState(const ProcessState&) = delete;
  ProcessState& operator=(const ProcessState&) = delete;

 private:
  static void Reset() {
    LogSink = nullptr;
    SerialPort.Close();
    SerialPort = TSerialPort();
    TimedWait = TTimedWait();
    NextPumpTime = platform::MonoTime{};
    RunWindow = {};
    platform::ClearStop();
    platform::comm::ClearLastFailure();
  }

  platform::ScopedServices services_;
};

}  // namespace testing_support
