#include "several_runs.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "child_process.h"
#include "command_line.h"
#include "command_watch.h"
#include "interrupts.h"
#include "port_board.h"
#include "run_events.h"
#include "run_report.h"
#include "stop.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;
using platform::ChildProcess;

// How often the wait for the runs looks for a stop request.
constexpr auto kStopLookEvery = std::chrono::milliseconds(100);

struct PortRun {
  RunTarget target;
  std::unique_ptr<ChildProcess> child;
  std::string pending;  // what it wrote after its last whole line
  std::optional<RunReport> report;
  TRunOutcome::Step lastStep = TRunOutcome::Step::Opening;  // as its status last said
  std::optional<ChildProcess::Exit> exit;
  std::chrono::system_clock::time_point started;
};

// The report of a port whose run said none: never started, not plugged in,
// or ended without one.
RunReport ReportOfItsOwn(const Options& options, const PortRun& run, RunReport::Ending ending,
                         const std::string& explanation) {
  RunReport report{run.target.port, run.target.device, run.target.identity, options.mode, options.clock,
                   options.resetDelay, {}, ending, run.started, std::chrono::system_clock::now(), explanation};
  report.outcome.result = TRunOutcome::Result::PortNotOpened;
  report.outcome.step = run.lastStep;
  return report;
}

std::string EndWithoutReport(const ChildProcess::Exit& exit) {
  return exit.bySignal ? "the run ended by " + SignalName(exit.code)
                       : "the run ended with status " + std::to_string(exit.code) + " without saying its outcome";
}

// "port 2: not acknowledged (step: mode); why"
std::string NotSetLine(const std::string& label, const RunReport& report, int tries) {
  const Json object = RunReportObject(report);
  std::string line = label + ": " + object["result"].get<std::string>();
  if (object["failed_step"].is_string()) line += " (step: " + object["failed_step"].get<std::string>() + ")";
  if (const std::string why = WhyNotSet(report, tries); !why.empty()) line += "; " + why;
  return line;
}

// Starts a run for each port that has one to run, each watching this
// process (`command`) so that it ends with it; the others get their report
// at once.
void StartRuns(const Options& options, const std::vector<RunTarget>& targets, const std::string& program,
               const std::optional<std::string>& scenario, std::vector<PortRun>& runs) {
  const std::vector<std::string> traces =
      options.trace ? TraceFilesFor(*options.trace, targets) : std::vector<std::string>(runs.size());
  const std::string command = platform::CommandToken();
  // Each run reads the scenario from its standard input.
  Options runOptions = options;
  std::unique_ptr<platform::SharedInput> input;
  std::string inputProblem;
  if (scenario) {
    runOptions.scenario = "-";
    input = platform::SharedInput::Create(*scenario, inputProblem);
  }
  for (std::size_t slot = 0; slot < runs.size(); ++slot) {
    PortRun& run = runs[slot];
    run.started = std::chrono::system_clock::now();
    if (run.target.absent) {
      run.report = ReportOfItsOwn(options, run, RunReport::Ending::Ran, "the adapter is not plugged in");
      continue;
    }
    if (platform::StopRequested()) {  // stopped while the runs were being started
      run.report = ReportOfItsOwn(options, run, RunReport::Ending::Stopped, "");
      continue;
    }
    std::string problem = inputProblem;
    if (!scenario || input) {
      run.child = ChildProcess::Start(program, RunArguments(runOptions, run.target, traces[slot], command), problem,
                                      input.get());
    }
    if (!run.child) {
      run.report =
          ReportOfItsOwn(options, run, RunReport::Ending::NotStarted, "the run could not be started: " + problem);
    }
  }
}

// Takes what the run has written, line by line, and its end once its output
// closes.
void ReadRun(PortRun& run, RunOutput& line) {
  char buffer[4096];
  ChildProcess::Output output;
  while ((output = run.child->ReadAvailable(buffer, sizeof buffer)).count > 0) {
    run.pending.append(buffer, output.count);
    for (std::size_t end; (end = run.pending.find('\n')) != std::string::npos; run.pending.erase(0, end + 1)) {
      const auto event = ParseRunEvent(run.pending.substr(0, end));
      if (!event) continue;
      if (const auto* status = std::get_if<StatusEvent>(&*event)) {
        run.lastStep = status->step;
        line.Show(*status);
      }
      if (const auto* say = std::get_if<SayEvent>(&*event)) line.Say(say->text, say->error);
      if (const auto* report = std::get_if<ReportEvent>(&*event)) run.report = RunReportFrom(report->object);
    }
  }
  if (output.closed) run.exit = run.child->Wait();
}

// Shows what the runs say until every one has ended: one wait for all of
// them, so that a port costs a process and nothing more.
void FollowRuns(std::vector<PortRun>& runs, PortBoard& board) {
  bool stopPassedOn = false;
  for (;;) {
    std::vector<ChildProcess*> running;
    for (PortRun& run : runs) {
      if (run.child && !run.exit) running.push_back(run.child.get());
    }
    if (running.empty()) return;
    platform::WaitForOutput(running, kStopLookEvery);
    for (std::size_t slot = 0; slot < runs.size(); ++slot) {
      if (runs[slot].child && !runs[slot].exit) ReadRun(runs[slot], board.Line(slot));
    }
    // A Ctrl-C on the terminal reaches every run already; a termination sent
    // to this process alone is passed on.
    if (platform::StopRequested() && !stopPassedOn) {
      for (PortRun& run : runs) {
        if (run.child) run.child->Signal(platform::StopReason());
      }
      stopPassedOn = true;
    }
  }
}

// Every port's report, in the order given, with what this process knows of
// the port from --all or --port.
std::vector<RunReport> Reports(const Options& options, std::vector<PortRun>& runs) {
  std::vector<RunReport> reports;
  for (PortRun& run : runs) {
    // Ended without its report: stopped with the rest, or died.
    if (!run.report) {
      const bool stopped = platform::StopRequested() && run.exit->bySignal;
      run.report = ReportOfItsOwn(options, run, stopped ? RunReport::Ending::Stopped : RunReport::Ending::Died,
                                  EndWithoutReport(*run.exit));
    }
    if (run.target.port) run.report->port = run.target.port;
    if (!run.target.identity.empty()) run.report->identity = run.target.identity;
    reports.push_back(*run.report);
  }
  return reports;
}

}  // namespace

int RunSeveralPorts(const Options& options, const std::vector<RunTarget>& targets, const std::string& program,
                    const std::optional<std::string>& scenario, std::FILE* out, std::FILE* err) {
  std::FILE* statusStream = options.json ? err : out;
  std::vector<std::string> labels;
  std::vector<PortRun> runs(targets.size());
  for (std::size_t slot = 0; slot < targets.size(); ++slot) {
    runs[slot].target = targets[slot];
    labels.push_back(targets[slot].Label());
  }
  PortBoard board(labels, {statusStream, WantsStyle(fileno(statusStream))}, {err, WantsStyle(fileno(err))});
  StartRuns(options, targets, program, scenario, runs);
  FollowRuns(runs, board);
  board.Finish();

  const std::vector<RunReport> reports = Reports(options, runs);
  int reportError = 0;  // a report that could not be written fails the command
  if (options.json) {
    Json objects = Json::array();
    for (const RunReport& report : reports) objects.push_back(RunReportObject(report));
    std::fputs((objects.dump(2) + "\n").c_str(), out);
    if (std::fflush(out) != 0) reportError = errno;
  }
  if (platform::StopRequested()) {
    const int signal = platform::StopReason();
    std::fprintf(err, "usb-corvane: interrupted by %s; every run cleared its break and released its port.\n",
                 SignalName(signal).c_str());
    return ExitBySignal(signal);
  }
  const auto set = static_cast<std::size_t>(
      std::count_if(reports.begin(), reports.end(), [](const RunReport& report) { return report.Set(); }));
  std::fprintf(statusStream, "%zu of %zu ports set.\n", set, reports.size());
  for (std::size_t slot = 0; slot < reports.size(); ++slot) {
    if (!reports[slot].Set()) {
      std::fprintf(err, "usb-corvane: %s\n", NotSetLine(labels[slot], reports[slot], options.tries).c_str());
    }
  }
  const int status =
      command_line::FinishStandardOutput("usb-corvane", board.OutputError() != 0 ? board.OutputError() : reportError);
  return status != 0 ? status : set == reports.size() ? 0 : 1;
}

}  // namespace cli
