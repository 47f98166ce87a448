#include "several_runs.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "child_process.h"
#include "command_line.h"
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

// A line a run wrote, or its end.
struct Arrival {
  std::size_t port = 0;
  std::optional<std::string> line;
  std::optional<ChildProcess::Exit> exit;
};

// What the readers hand the waiting thread.
class Mailbox {
 public:
  void Post(Arrival arrival) {
    {
      const std::lock_guard lock(mutex_);
      arrivals_.push_back(std::move(arrival));
    }
    ready_.notify_one();
  }
  std::deque<Arrival> Wait(std::chrono::milliseconds atMost) {
    std::unique_lock lock(mutex_);
    ready_.wait_for(lock, atMost, [this] { return !arrivals_.empty(); });
    return std::exchange(arrivals_, {});
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Arrival> arrivals_;
};

// Hands on each line the run writes, then its end.
void ReadRun(ChildProcess& child, std::size_t port, Mailbox& mailbox) {
  std::string pending;
  char buffer[4096];
  for (long n; (n = child.Read(buffer, sizeof buffer)) > 0;) {
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      mailbox.Post({port, pending.substr(0, end), std::nullopt});
    }
  }
  mailbox.Post({port, std::nullopt, child.Wait()});
}

struct PortRun {
  RunTarget target;
  std::unique_ptr<ChildProcess> child;
  std::optional<Json> report;
  std::optional<ChildProcess::Exit> exit;
  std::chrono::system_clock::time_point started;
};

// The report of a port whose run said none: never started, not plugged in,
// or ended without one.
Json ReportOfItsOwn(const Options& options, const PortRun& run, bool stopped, const std::string& explanation) {
  RunReport report{run.target.port, run.target.device, run.target.identity, options.mode, options.clock,
                   options.resetDelay, {}, stopped, run.started, std::chrono::system_clock::now(), explanation};
  report.outcome.result = TRunOutcome::Result::PortNotOpened;
  return RunReportObject(report);
}

std::string EndWithoutReport(const ChildProcess::Exit& exit) {
  return exit.bySignal ? "the run ended by signal " + std::to_string(exit.code) + " without saying its outcome"
                       : "the run ended with status " + std::to_string(exit.code) + " without saying its outcome";
}

// "port 2: not acknowledged (step: mode); why"
std::string NotSetLine(const std::string& label, const Json& report) {
  std::string line = label + ": " + report.value("result", "");
  if (report["failed_step"].is_string()) line += " (step: " + report["failed_step"].get<std::string>() + ")";
  if (report["explanation"].is_string()) line += "; " + report["explanation"].get<std::string>();
  return line;
}

// Starts a run for each port that has one to run; the others get their
// report at once. Returns how many were started.
std::size_t StartRuns(const Options& options, const std::vector<RunTarget>& targets, const std::string& program,
                      std::vector<PortRun>& runs, Mailbox& mailbox, std::vector<std::thread>& readers) {
  const std::vector<std::string> traces =
      options.trace ? TraceFilesFor(*options.trace, targets) : std::vector<std::string>(runs.size());
  std::size_t started = 0;
  for (std::size_t port = 0; port < runs.size(); ++port) {
    PortRun& run = runs[port];
    run.started = std::chrono::system_clock::now();
    if (run.target.absent) {
      run.report = ReportOfItsOwn(options, run, false, "the adapter is not plugged in");
      continue;
    }
    if (platform::StopRequested()) {  // stopped while the runs were being started
      run.report = ReportOfItsOwn(options, run, true, "");
      continue;
    }
    std::string problem;
    run.child = ChildProcess::Start(program, RunArguments(options, run.target, traces[port]), problem);
    if (!run.child) {
      run.report = ReportOfItsOwn(options, run, false, "the run could not be started: " + problem);
      continue;
    }
    ++started;
    readers.emplace_back(ReadRun, std::ref(*run.child), port, std::ref(mailbox));
  }
  return started;
}

// Shows what the runs say until every one has ended.
void FollowRuns(std::size_t running, std::vector<PortRun>& runs, Mailbox& mailbox, PortBoard& board) {
  bool stopPassedOn = false;
  while (running > 0) {
    for (Arrival& arrival : mailbox.Wait(kStopLookEvery)) {
      PortRun& run = runs[arrival.port];
      if (arrival.exit) {
        run.exit = arrival.exit;
        --running;
        continue;
      }
      const auto event = ParseRunEvent(*arrival.line);
      if (!event) continue;
      if (const auto* status = std::get_if<StatusEvent>(&*event)) board.Show(arrival.port, *status);
      if (const auto* say = std::get_if<SayEvent>(&*event)) board.Say(arrival.port, *say);
      if (const auto* report = std::get_if<ReportEvent>(&*event)) run.report = report->object;
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
Json Reports(const Options& options, std::vector<PortRun>& runs) {
  Json reports = Json::array();
  for (PortRun& run : runs) {
    if (!run.report) {
      run.report = ReportOfItsOwn(options, run, run.exit && run.exit->bySignal, EndWithoutReport(*run.exit));
    }
    if (run.target.port) (*run.report)["port"] = *run.target.port;
    if (!run.target.identity.empty()) (*run.report)["identity"] = run.target.identity;
    reports.push_back(*run.report);
  }
  return reports;
}

}  // namespace

int RunSeveralPorts(const Options& options, const std::vector<RunTarget>& targets, const std::string& program,
                    std::FILE* out, std::FILE* err) {
  std::FILE* statusStream = options.json ? err : out;
  std::vector<std::string> labels;
  std::vector<PortRun> runs(targets.size());
  for (std::size_t port = 0; port < targets.size(); ++port) {
    runs[port].target = targets[port];
    labels.push_back(targets[port].Label());
  }
  PortBoard board(labels, {statusStream, WantsStyle(fileno(statusStream))}, {err, WantsStyle(fileno(err))});
  Mailbox mailbox;
  std::vector<std::thread> readers;
  FollowRuns(StartRuns(options, targets, program, runs, mailbox, readers), runs, mailbox, board);
  for (std::thread& reader : readers) reader.join();
  board.Finish();

  const Json reports = Reports(options, runs);
  if (options.json) {
    std::fputs((reports.dump(2) + "\n").c_str(), out);
    std::fflush(out);
  }
  if (platform::StopRequested()) {
    const int signal = platform::StopReason();
    std::fprintf(err, "usb-corvane: interrupted by %s; every run cleared its break and released its port.\n",
                 SignalName(signal));
    return ExitBySignal(signal);
  }
  std::size_t set = 0;
  for (const Json& report : reports) set += report["result"] == "set" ? 1 : 0;
  std::fprintf(statusStream, "%zu of %zu ports set.\n", set, reports.size());
  for (std::size_t port = 0; port < reports.size(); ++port) {
    if (reports[port]["result"] != "set") {
      std::fprintf(err, "usb-corvane: %s\n", NotSetLine(labels[port], reports[port]).c_str());
    }
  }
  const int status = command_line::FinishStandardOutput("usb-corvane", board.OutputError());
  return status != 0 ? status : set == reports.size() ? 0 : 1;
}

}  // namespace cli
