#include "window_startup.h"

#include <cstdio>

#include "command_line.h"
#include "corvane_emulator.h"
#include "port_table.h"
#include "scenario.h"
#include "window_logic.h"

namespace {

constexpr const char* kProgram = "usb-corvane-config";

// Written out, so that --help needs no display.
std::string HelpText() {
  return "Usage: usb-corvane-config [--simulate[=FILE]] [--trace=FILE]\n"
         "\n"
         "Sets the reader mode, card clock and reset delay of a USB Corvane/SmartMouse\n"
         "interface from a small window.\n"
         "\n"
         "  --simulate[=FILE]  try the window without hardware: every port opens the\n"
         "                     simulated interface; FILE is an optional JSON scenario\n"
         "                     (see usb-corvane(1))\n"
         "  --trace=FILE       append a time-stamped log of the serial traffic to FILE\n"
         "  -h, --help         show this text and exit\n"
         "  -V, --version      show the version and exit\n" +
         command_line::HelpFooter();
}

WindowExit UsageFailure(const std::string& message) {
  return WindowExit{2, {}, command_line::UsageErrorText(kProgram, message)};
}

}  // namespace

std::variant<WindowOptions, WindowExit> ParseWindowOptions(const std::vector<std::string>& arguments,
                                                           const std::string& version) {
  command_line::GnuParser parser;
  parser.AddOptionalValue("simulate");
  parser.AddValue("trace");
  if (auto problem = parser.Parse(arguments)) return UsageFailure(*problem);
  if (parser.HelpWanted()) return WindowExit{0, HelpText(), {}};
  if (parser.VersionWanted()) return WindowExit{0, command_line::VersionText(kProgram, version), {}};
  if (const auto positional = parser.Positional(); !positional.empty()) {
    return UsageFailure("unexpected argument '" + positional.front() + "' (a scenario file follows --simulate)");
  }

  WindowOptions options;
  options.simulate = parser.IsSet("simulate");
  options.scenario = parser.Value("simulate");
  options.trace = parser.Value("trace");
  if (options.trace && options.trace->empty()) return UsageFailure("--trace needs a file to append the log to");
  return options;
}

namespace window_core {

std::optional<std::string> Simulate(const WindowOptions& options) {
  auto device = emulator::CorvaneEmulator::Create();
  if (options.scenario) {
    if (auto problem = emulator::LoadScenarioFile(*options.scenario, *device)) return "--simulate: " + *problem;
  }
  for (unsigned number = 0; number <= kPortCount; ++number) platform::ports::MapEndpoint(number, device);
  return std::nullopt;
}

bool SimulateAsAsked(const WindowOptions& options) {
  if (!options.simulate) return true;
  const auto problem = Simulate(options);
  if (problem) std::fprintf(stderr, "%s: %s\n", kProgram, problem->c_str());
  return !problem;
}

TWindowTrace::TWindowTrace(const WindowOptions& options) {
  if (options.trace) trace_.emplace(*options.trace);
}

TWindowTrace::~TWindowTrace() {
  if (trace_ && !trace_->Problem().empty()) std::fprintf(stderr, "%s: %s\n", kProgram, trace_->Problem().c_str());
}

void AddWindowServices(platform::Services& services, const WindowOptions& options, platform::MessagePump& pump) {
  services.pump = &pump;
  services.machinePorts = services.machinePorts && !options.simulate;
}

}  // namespace window_core
