// The scenario reader against arbitrary bytes: it never throws or aborts,
// whatever the nesting or the numbers; a refusal says what is wrong, and an
// accepted scenario gives a whole run that ends as every run must.
#include <cstdint>
#include <string>

#include "Utils.h"
#include "clock.h"
#include "corvane_emulator.h"
#include "fuzz_run.h"
#include "port_table.h"
#include "process_state.h"
#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using fuzz_run::Check;
  platform::VirtualClock clock;
  testing_support::ProcessState state(&clock);
  auto device = emulator::CorvaneEmulator::Create();
  const auto problem = emulator::ApplyScenario(std::string(reinterpret_cast<const char*>(data), size), *device);
  if (problem) {
    Check(!problem->empty());
    return 0;
  }
  platform::ports::MapEndpoint(1, device);
  fuzz_run::Window window;
  RunWindow = {&window, &window};
  constexpr int kTries = 1;
  const bool done = SetInterfaceMode("SmartMouse", "3.58", kTries, 1, window);
  fuzz_run::CheckRunEnd(done, "SmartMouse", window, *device, clock, kTries);
  RunWindow = {};
  platform::ports::UnmapAll();
  return 0;
}
