// Fixture for whole runs of SetInterfaceMode against the emulator.
#pragma once

#include "run_recorder.h"
#include "virtual_time_test.h"

namespace testing_support {

class RunTest : public VirtualTimeTest {
 protected:
  RunTest() : status(clock), progress(clock) {
    RunWindow.ProgressBar1 = &progress;
    RunWindow.EnableResetDelay = &resetDelay;
  }

  bool RunMode(const std::string& mode = "SmartMouse", const std::string& clockText = "3.58",
               int tries = 30, DWORD port = kPort) {
    return SetInterfaceMode(mode, clockText, tries, port, status);
  }
  // Every break is cleared and the port is released, whatever the outcome.
  void ExpectLineReleased() const {
    EXPECT_FALSE(SerialPort.IsOpen);
    EXPECT_FALSE(device->isOpen());
    EXPECT_FALSE(device->breakOn());
    bool breakOn = false;
    for (const auto& e : device->events()) {
      if (e.kind == emulator::LineEvent::Kind::BreakOn) breakOn = true;
      if (e.kind == emulator::LineEvent::Kind::BreakOff) breakOn = false;
      // An adapter pulled out has no line left to hold in break.
      if (e.kind == emulator::LineEvent::Kind::Closed && !device->unplugged()) {
        EXPECT_FALSE(breakOn) << "closed in break";
      }
    }
  }

  RecordingStatus status;
  RecordingProgress progress;
  Flag resetDelay;
};

}  // namespace testing_support
