// A whole SetInterfaceMode in virtual time against an interface that answers
// with arbitrary bytes after arbitrary delays. Whatever it says, the run ends
// within its bound with a result and one of the system's texts, the break
// cleared and the port closed.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "Utils.h"
#include "clock.h"
#include "corvane_emulator.h"
#include "message_pump.h"
#include "port_table.h"
#include "run_bound.h"
#include "process_state.h"

namespace {

using emulator::Command;

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

emulator::Bytes TakeBytes(FuzzedDataProvider& input, std::size_t most) {
  return input.ConsumeBytes<BYTE>(input.ConsumeIntegralInRange<std::size_t>(0, most));
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  platform::VirtualClock clock;
  platform::ScopedClock useClock(clock);
  testing_support::ProcessState::Reset();
  auto device = emulator::CorvaneEmulator::Create();
  platform::ports::UseMachinePorts(false);
  platform::ports::UnmapAll();
  platform::ports::MapEndpoint(1, device);

  const int tries = input.ConsumeIntegralInRange<int>(0, 3);
  if (input.ConsumeBool()) device->InsertCard(std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 4000)));
  device->pendingAtOpen = TakeBytes(input, 8);
  device->entryReply = TakeBytes(input, 8);
  for (Command command : {Command::Entry, Command::Version, Command::Mode, Command::ResetDelay, Command::Final}) {
    emulator::ReplyRule& rule = device->Rule(command);
    if (input.ConsumeBool()) rule.replace = TakeBytes(input, 10);
    rule.delay = std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 1500));
    rule.lastByteDelay = std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 1500));
  }
  if (input.ConsumeBool()) device->UnplugFrom(static_cast<Command>(input.ConsumeIntegralInRange<int>(0, 4)));
  const std::string mode = input.ConsumeBool() ? "SmartMouse" : "Corvane";
  Window window;
  window.ticked = input.ConsumeBool();
  RunWindow = {&window, &window};

  const bool done = SetInterfaceMode(mode, "3.58", tries, 1, window);

  Check(clock.Elapsed() <= run_bound::Total(tries));
  Check(!SerialPort.IsOpen && !device->isOpen() && !device->breakOn());
  Check(!InterfaceRunActive());
  if (done) {
    Check(window.text == mode + " 3.58MHz set successfully" && window.color == clLime && window.position == 15);
  } else {
    Check(window.text == "Error setting " + mode + " mode." || window.text == "Please remove card from card slot." ||
          window.text == "Could not open comport!");
    Check(window.color == clRed || window.color == clYellow || window.color == window.ButtonFace());
  }
  RunWindow = {};
  platform::ports::UnmapAll();
  return 0;
}
