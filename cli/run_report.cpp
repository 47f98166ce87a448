#include "run_report.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace cli {
namespace {

using Json = nlohmann::ordered_json;
using Result = TRunOutcome::Result;
using Step = TRunOutcome::Step;

Json OrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

using Ending = RunReport::Ending;

// Each result as the report names it, written and read back: a run that ran
// by its outcome, any other by how it ended.
struct ResultName {
  Ending ending;
  Result result;
  const char* name;
};
constexpr ResultName kResultNames[] = {
    {Ending::Ran, Result::Succeeded, "set"},
    {Ending::Ran, Result::PortNotOpened, "not opened"},
    {Ending::Ran, Result::CardNotRemoved, "card not removed"},
    {Ending::Ran, Result::NotAcknowledged, "not acknowledged"},
    {Ending::Stopped, Result::None, "stopped"},
    {Ending::NotStarted, Result::None, "not started"},
    {Ending::Died, Result::None, "failed"},
};

std::string ResultText(const RunReport& report) {
  for (const ResultName& named : kResultNames) {
    if (named.ending == report.ending && (named.ending != Ending::Ran || named.result == report.outcome.result)) {
      return named.name;
    }
  }
  return "stopped";  // ran without an outcome: stopped before it had one
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

// The inverse of UtcText; nothing for another form.
std::optional<std::chrono::system_clock::time_point> FromUtcText(const std::string& text) {
  using namespace std::chrono;
  int year = 0;
  unsigned month = 0, day = 0;
  int hours = 0, minutes = 0, seconds = 0, millis = 0;
  char zone = 0;
  if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2d:%2d:%2d.%3d%c", &year, &month, &day, &hours, &minutes, &seconds,
                  &millis, &zone) != 8 ||
      zone != 'Z') {
    return std::nullopt;
  }
  const year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (!date.ok()) return std::nullopt;
  return sys_days{date} + hours * 1h + minutes * 1min + seconds * 1s + millis * 1ms;
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
  const bool set = report.Set();
  const bool started = report.ending != Ending::NotStarted;
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

std::optional<RunReport> RunReportFrom(const Json& object) {
  if (!object.is_object()) return std::nullopt;
  const auto text = [&](const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
  };
  RunReport report;
  if (const auto port = object.find("port"); port != object.end() && port->is_number_unsigned()) {
    report.port = port->get<unsigned>();
  }
  report.device = text("device");
  report.identity = text("identity");
  report.mode = text("mode");
  report.clock = text("clock");
  report.resetDelay = object.value("reset_delay", true);
  const std::string result = text("result");
  const auto named = std::find_if(std::begin(kResultNames), std::end(kResultNames),
                                  [&](const ResultName& candidate) { return result == candidate.name; });
  if (named == std::end(kResultNames)) return std::nullopt;
  report.ending = named->ending;
  report.outcome.result = named->result;
  report.outcome.step = StepNamed(text("failed_step")).value_or(Step::Done);
  report.outcome.firmware = text("firmware");
  report.explanation = text("explanation");
  const auto started = FromUtcText(text("started"));
  const auto ended = FromUtcText(text("ended"));
  if (!started || !ended) return std::nullopt;
  report.started = *started;
  report.ended = *ended;
  return report;
}

std::string WhyNotSet(const RunReport& report, int tries) {
  if (!report.explanation.empty()) return report.explanation;
  if (std::string why = report.outcome.Explanation(); !why.empty()) return why;
  if (report.ending == Ending::Ran && report.outcome.result == Result::CardNotRemoved) {
    return "the card was not taken out of the slot within " + std::to_string(tries) + " s (--tries).";
  }
  return "";
}

std::string RunReportsAsJson(const RunReport& report) { return Json::array({RunReportObject(report)}).dump(2) + "\n"; }

}  // namespace cli
