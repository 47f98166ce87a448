// usb-corvane: sets the interface from a terminal, a script or a remote
// machine, with the same run as the window.
#include <clocale>
#include <cstdio>

#include "child_process.h"
#include "command_watch.h"
#include "command_line.h"
#include "corvane_emulator.h"
#include "interrupts.h"
#include "options.h"
#include "port_listing.h"
#include "port_table.h"
#include "run_targets.h"
#include "scenario.h"
#include "services.h"
#include "several_runs.h"
#include "single_run.h"
#include "standard_descriptors.h"
#include "terminal_output.h"

namespace {

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
  platform::OpenClosedStandardDescriptors();  // before any pipe or file takes their numbers
  // Dates and messages in the user's locale, numbers always as the C locale
  // writes them, since scripts read them.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  cli::UseUtf8Terminal();
  cli::HandleInterrupts();
  const auto parsed = cli::ParseOptions(argc, argv);
  if (const auto* error = std::get_if<cli::UsageError>(&parsed)) return UsageFailure(error->message);
  const cli::Options& options = std::get<cli::Options>(parsed);
  // A run of several ends with the command that started it.
  if (options.command && !platform::StopWhenCommandEnds(*options.command)) {
    return UsageFailure("--events: cannot watch the command '" + *options.command + "'");
  }
  // The system's own services; a run opens no machine port beside the one
  // it names or simulates.
  platform::InstallServices(platform::Services{});

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

  platform::ports::PortList machine;
  if (options.all) machine = platform::ports::List();
  if (!machine.problem.empty()) {
    std::fprintf(stderr,
                 "usb-corvane: the stored port numbers cannot be read (%s); the adapters plugged in are set by their "
                 "paths.\n",
                 machine.problem.c_str());
  }
  const std::vector<cli::RunTarget> targets = cli::TargetsOf(options, machine);
  if (targets.empty()) {
    std::fputs("usb-corvane: no USB serial adapter is plugged in or remembered (--all).\n", stderr);
    return 1;
  }
  // One port runs here, exactly as it always has.
  if (targets.size() == 1 && !targets.front().absent) return cli::RunOnePort(options, targets.front());
  // The scenario is read once, here, and handed to every run (a pipe gives
  // it only once); a bad one is a bad argument, said before any port opens.
  std::optional<std::string> scenario;
  if (options.simulate && options.scenario) {
    scenario.emplace();
    auto problem = emulator::ReadScenarioFile(*options.scenario, *scenario);
    if (!problem) {
      problem = emulator::ApplyScenarioFrom(*options.scenario, *scenario, *emulator::CorvaneEmulator::Create());
    }
    if (problem) return UsageFailure("--simulate: " + *problem);
  }
  const std::string program = platform::OwnProgramPath();
  if (program.empty()) {
    std::fputs("usb-corvane: cannot find this program's own file to run each port in a process of its own.\n",
               stderr);
    return 1;
  }
  return cli::RunSeveralPorts(options, targets, program, scenario);
}
