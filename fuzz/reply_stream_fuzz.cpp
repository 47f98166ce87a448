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
#include "fuzz_run.h"
#include "process_state.h"

namespace {

using emulator::Command;
using fuzz_run::Window;

emulator::Bytes TakeBytes(FuzzedDataProvider& input, std::size_t most) {
  return input.ConsumeBytes<BYTE>(input.ConsumeIntegralInRange<std::size_t>(0, most));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  platform::VirtualClock clock;
  testing_support::ProcessState state(&clock);
  auto device = emulator::CorvaneEmulator::Create();
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

  CheckRunEnd(done, mode, window, *device, clock, tries);
  RunWindow = {};
  platform::ports::UnmapAll();
  return 0;
}
