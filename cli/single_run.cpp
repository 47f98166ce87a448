#include "single_run.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "command_line.h"
#include "corvane_emulator.h"
#include "interrupts.h"
#include "log.h"
#include "port_table.h"
#include "run_events.h"
#include "run_report.h"
#include "scenario.h"
#include "services.h"
#include "stop.h"
#include "terminal_output.h"

namespace cli {
namespace {

constexpr unsigned kMappedPort = 1;  // the number a --device or --simulate run uses

}  // namespace

int RunOnePort(const Options& options, const RunTarget& target) {
  // Only the port named or simulated opens.
  const platform::ScopedServices useServices([&](platform::Services& services) {
    services.machinePorts = services.machinePorts && !options.simulate && target.device.empty();
  });

  std::shared_ptr<emulator::CorvaneEmulator> simulated;
  const unsigned port = target.port.value_or(kMappedPort);
  if (options.simulate) {
    simulated = emulator::CorvaneEmulator::Create();
    if (options.scenario) {
      if (auto problem = emulator::LoadScenarioFile(*options.scenario, *simulated)) {
        std::fputs(command_line::UsageErrorText("usb-corvane", "--simulate: " + *problem).c_str(), stderr);
        return 2;
      }
    }
    platform::ports::MapEndpoint(port, simulated);
  } else if (!target.device.empty()) {
    platform::ports::MapDevice(port, target.device);
  }

  std::optional<TTrace> trace;
  if (options.trace) trace.emplace(*options.trace);

  // With --json, standard output is the report alone; the status lines go
  // where the messages go.
  std::FILE* statusStream = options.json ? stderr : stdout;
  EventOutput* events = nullptr;
  std::unique_ptr<RunOutput> output;
  if (options.events) {
    output = std::make_unique<EventOutput>(stdout);
    events = static_cast<EventOutput*>(output.get());
  } else {
    output = std::make_unique<TerminalOutput>(OutputStream{statusStream, WantsStyle(fileno(statusStream))},
                                              OutputStream{stderr, WantsStyle(fileno(stderr))});
  }
  StatusTracker status(*output, options.resetDelay);
  RunReport report{target.port, {}, target.identity, options.mode, options.clock, options.resetDelay, {}, RunReport::Ending::Ran,
                   {}, {}, {}};
  // Looked up only for the report: for a port number it reads the machine's
  // adapters and the stored numbers, which the open does again.
  if (const auto entry = options.json || events ? platform::ports::Describe(port) : std::nullopt) {
    report.device = entry->device;
    if (report.identity.empty()) report.identity = entry->identity;
  }
  if (!target.device.empty()) report.device = target.device;  // the device named, simulated or not
  report.started = std::chrono::system_clock::now();
  RunWindow = {&status, &status};
  bool done = false;
  bool stopped = false;
  try {
    platform::ThrowIfStopRequested();
    done = SetInterfaceMode(options.mode, options.clock, options.tries, port, status);
  } catch (const platform::RunStopped&) {
    stopped = true;  // the run has unwound: break cleared, settings restored, port released
  }
  output->Finish();
  RunWindow = {};
  // A trace that could not be written is a lost log, not a failed run.
  if (trace && !trace->Problem().empty()) output->Say(trace->Problem(), true);
  trace.reset();
  report.ended = std::chrono::system_clock::now();
  report.outcome = LastRunOutcome();
  if (stopped) report.ending = RunReport::Ending::Stopped;
  int reportError = 0;  // a report that could not be written fails the command
  if (events) {
    events->Report(report);
  } else if (options.json) {
    std::fputs(RunReportsAsJson(report).c_str(), stdout);
    if (std::fflush(stdout) != 0) reportError = errno;
  }
  if (stopped) {
    const int signal = platform::StopReason();
    if (!events) {
      std::fprintf(stderr, "usb-corvane: interrupted by %s; the break was cleared and the port released.\n",
                   SignalName(signal).c_str());
    }
    return ExitBySignal(signal);
  }

  // Why it was not set; the usb-corvane that runs several says it with the
  // port's outcome.
  if (!events) {
    if (const std::string why = WhyNotSet(report, options.tries); !why.empty()) output->Say(why, true);
  }
  if (simulated) output->Say(emulator::DescribeDevice(*simulated), false);
  const int outputError = output->OutputError() != 0 ? output->OutputError() : reportError;
  if (const int exitStatus = command_line::FinishStandardOutput("usb-corvane", outputError); exitStatus != 0) {
    return exitStatus;
  }
  return done ? 0 : 1;
}

}  // namespace cli
