// usb-corvane: sets the interface from a terminal, a script or a remote
// machine, with the same run as the window.
#include <clocale>
#include <cstdio>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "clock.h"
#include "command_line.h"
#include "corvane_emulator.h"
#include "interrupts.h"
#include "log.h"
#include "options.h"
#include "port_listing.h"
#include "port_table.h"
#include "run_report.h"
#include "scenario.h"
#include "services.h"
#include "stop.h"
#include "terminal_output.h"

namespace {

constexpr unsigned kMappedPort = 1;  // the number a --device or --simulate run uses

int UsageFailure(const std::string& message) {
  std::fputs(command_line::UsageErrorText("usb-corvane", message).c_str(), stderr);
  return 2;
}

// Output that could not be written (a full disk) is a failure, said once at
// the end.
int StandardOutputStatus(int earlierError = 0) {
  return command_line::FinishStandardOutput("usb-corvane", earlierError);
}

}  // namespace

int main(int argc, char** argv) {
  // Dates and messages in the user's locale, numbers always as the C locale
  // writes them, since scripts read them.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  cli::UseUtf8Terminal();
  cli::HandleInterrupts();
  const auto parsed = cli::ParseOptions(argc, argv);
  if (const auto* error = std::get_if<cli::UsageError>(&parsed)) return UsageFailure(error->message);
  const cli::Options& options = std::get<cli::Options>(parsed);
  // The system's own services, with no machine port opened beside the one
  // named or simulated.
  platform::Services services;
  services.machinePorts = !options.simulate && !options.device;
  platform::InstallServices(services);

  switch (options.action) {
    case cli::Options::Action::Help:
      std::fputs(cli::HelpText().c_str(), stdout);
      return StandardOutputStatus();
    case cli::Options::Action::Version:
      std::fputs(command_line::VersionText("usb-corvane", USB_CORVANE_VERSION).c_str(), stdout);
      return StandardOutputStatus();
    case cli::Options::Action::ListPorts: {
      // Every number known on this machine, present or not.
      const platform::ports::PortList list = platform::ports::List();
      std::fputs((options.json ? cli::PortsAsJson(list.ports) : cli::PortsAsText(list.ports)).c_str(), stdout);
      // Nothing is renumbered around damage: the file is left for the user.
      if (!list.problem.empty()) {
        std::fprintf(stderr,
                     "usb-corvane: no port has a number while the stored port numbers cannot be read (%s); mend or "
                     "remove that file. The adapters plugged in are listed by their paths.\n",
                     list.problem.c_str());
      }
      const int status = StandardOutputStatus();
      return status != 0 || list.problem.empty() ? status : 1;
    }
    case cli::Options::Action::Configure: break;
  }

  std::shared_ptr<emulator::CorvaneEmulator> simulated;
  unsigned port = options.port.value_or(kMappedPort);
  if (options.simulate) {
    simulated = emulator::CorvaneEmulator::Create();
    if (options.scenario) {
      if (auto problem = emulator::LoadScenarioFile(*options.scenario, *simulated)) {
        return UsageFailure("--simulate: " + *problem);
      }
    }
    platform::ports::MapEndpoint(port, simulated);
  } else if (options.device) {
    platform::ports::MapDevice(port, *options.device);
  }

  std::optional<TTrace> trace;
  if (options.trace) trace.emplace(*options.trace);

  // With --json, standard output is the report alone; the status lines go
  // where the messages go.
  FILE* statusStream = options.json ? stderr : stdout;
  cli::TerminalOutput output({statusStream, cli::WantsStyle(fileno(statusStream))},
                             {stderr, cli::WantsStyle(fileno(stderr))}, options.resetDelay);
  cli::RunReport report{options.port, {}, {}, options.mode, options.clock, options.resetDelay, {}, false, {}, {}};
  // Looked up only for the report: for a port number it reads the machine's
  // adapters and the stored numbers, which the open does again.
  if (const auto entry = options.json ? platform::ports::Describe(port) : std::nullopt) {
    report.device = entry->device;
    report.identity = entry->identity;
  }
  report.started = std::chrono::system_clock::now();
  RunWindow = {&output, &output};
  bool done = false;
  bool stopped = false;
  try {
    platform::ThrowIfStopRequested();
    done = SetInterfaceMode(options.mode, options.clock, options.tries, port, output);
  } catch (const platform::RunStopped&) {
    stopped = true;  // the run has unwound: break cleared, settings restored, port released
  }
  output.Finish();
  RunWindow = {};
  // A trace that could not be written is a lost log, not a failed run.
  if (trace && !trace->Problem().empty()) std::fprintf(stderr, "usb-corvane: %s\n", trace->Problem().c_str());
  trace.reset();
  report.ended = std::chrono::system_clock::now();
  report.outcome = LastRunOutcome();
  report.stopped = stopped;
  if (options.json) {
    std::fputs(cli::RunReportsAsJson(report).c_str(), stdout);
    std::fflush(stdout);
  }
  if (stopped) {
    const int signal = platform::StopReason();
    std::fprintf(stderr, "usb-corvane: interrupted by %s; the break was cleared and the port released.\n",
                 cli::SignalName(signal));
    return cli::ExitBySignal(signal);
  }

  const TRunOutcome& outcome = LastRunOutcome();
  // Why the port did not open, or that the device went away mid-run.
  if (const std::string why = outcome.Explanation(); !why.empty()) std::fprintf(stderr, "usb-corvane: %s\n", why.c_str());
  if (outcome.result == TRunOutcome::Result::CardNotRemoved) {
    std::fprintf(stderr, "usb-corvane: the card was not taken out of the slot within %d s (--tries).\n",
                 options.tries);
  }
  if (simulated) std::fprintf(statusStream, "%s\n", emulator::DescribeDevice(*simulated).c_str());
  if (const int status = StandardOutputStatus(output.OutputError()); status != 0) return status;
  return done ? 0 : 1;
}
