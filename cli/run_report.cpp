#include "run_report.h"

#include <cstdio>

namespace cli {
namespace {

using Json = nlohmann::ordered_json;
using Result = TRunOutcome::Result;
using Step = TRunOutcome::Step;

Json OrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

std::string ResultText(const RunReport& report) {
  switch (report.ending) {
    case RunReport::Ending::Ran: break;
    case RunReport::Ending::Stopped: return "stopped";
    case RunReport::Ending::NotStarted: return "not started";
    case RunReport::Ending::Died: return "failed";
  }
  switch (report.outcome.result) {
    case Result::Succeeded: return "set";
    case Result::PortNotOpened: return "not opened";
    case Result::CardNotRemoved: return "card not removed";
    case Result::NotAcknowledged: return "not acknowledged";
    case Result::None: break;
  }
  return "stopped";
}

// 2026-12-10T16:40:05.123Z
std::string UtcText(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto millis = floor<milliseconds>(when);
  const auto day = floor<days>(millis);
  const year_month_day date{day};
  const hh_mm_ss time{millis - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld.%03ldZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long>(time.hours().count()), static_cast<long>(time.minutes().count()),
                static_cast<long>(time.seconds().count()), static_cast<long>(time.subseconds().count()));
  return text;
}

constexpr std::pair<Step, const char*> kStepNames[] = {
    {Step::Opening, "open"},  {Step::CardWait, "card wait"},     {Step::Entry, "entry"}, {Step::Version, "version"},
    {Step::Mode, "mode"},     {Step::ResetDelay, "reset delay"}, {Step::Final, "final"},
};

}  // namespace

Json StepName(Step step) {
  for (const auto& [named, name] : kStepNames) {
    if (named == step) return name;
  }
  return nullptr;
}

std::optional<Step> StepNamed(const std::string& name) {
  for (const auto& [step, named] : kStepNames) {
    if (named == name) return step;
  }
  return std::nullopt;
}

Json RunReportObject(const RunReport& report) {
  const bool set = report.ending == RunReport::Ending::Ran && report.outcome.result == Result::Succeeded;
  const bool started = report.ending != RunReport::Ending::NotStarted;
  const Json port = {
      {"port", report.port ? Json(*report.port) : Json()},
      {"device", OrNull(report.device)},
      {"identity", OrNull(report.identity)},
      {"mode", report.mode},
      {"clock", report.clock},
      {"reset_delay", report.resetDelay},
      {"result", ResultText(report)},
      {"failed_step", set || !started ? Json() : StepName(report.outcome.step)},
      {"firmware", OrNull(report.outcome.firmware)},
      {"explanation", OrNull(report.explanation.empty() ? report.outcome.Explanation() : report.explanation)},
      {"started", UtcText(report.started)},
      {"ended", UtcText(report.ended)},
  };
  return port;
}

std::string RunReportsAsJson(const RunReport& report) { return Json::array({RunReportObject(report)}).dump(2) + "\n"; }

}  // namespace cli
