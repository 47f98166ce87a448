// What every fuzzed run must end with, whatever the interface did: within
// its bound, the break cleared, the port closed, and one of the system's
// texts in the status line.
#pragma once

#include <cstdlib>
#include <string>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "clock.h"
#include "corvane_emulator.h"
#include "run_bound.h"

namespace fuzz_run {

class Window final : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  void SetText(const std::string& t) override { text = t; }
  void SetColor(TColor c) override { color = c; }
  TColor ButtonFace() const override { return {200, 200, 200}; }
  int Position() const override { return position; }
  void SetPosition(int p) override { position = p; }
  bool Ticked() const override { return ticked; }
  std::string text;
  TColor color{};
  int position = 0;
  bool ticked = true;
};

inline void Check(bool condition) {
  if (!condition) std::abort();
}

inline void CheckRunEnd(bool done, const std::string& mode, const Window& window,
                        const emulator::CorvaneEmulator& device, const platform::VirtualClock& clock, int tries) {
  Check(clock.Elapsed() <= run_bound::Total(tries));
  Check(!SerialPort.IsOpen && !device.isOpen() && !device.breakOn());
  Check(!InterfaceRunActive());
  if (done) {
    Check(window.text == mode + " 3.58MHz set successfully" && window.color == clLime && window.position == 15);
  } else {
    Check(window.text == "Error setting " + mode + " mode." || window.text == "Please remove card from card slot." ||
          window.text == "Could not open comport!");
    Check(window.color == clRed || window.color == clYellow || window.color == window.ButtonFace());
  }
}

}  // namespace fuzz_run
