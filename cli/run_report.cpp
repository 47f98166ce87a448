#include "run_report.h"

#include <cstdio>

namespace cli {
namespace {

using Json = nlohmann::ordered_json;
using Result = TRunOutcome::Result;
using Step = TRunOutcome::Step;

Json OrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

std::string ResultText(const RunReport& report) {
  if (report.stopped) return "stopped";
  switch (report.outcome.result) {
    case Result::Succeeded: return "set";
    case Result::PortNotOpened: return "not opened";
    case Result::CardNotRemoved: return "card not removed";
    case Result::NotAcknowledged: return "not acknowledged";
    case Result::None: break;
  }
  return "stopped";
}

Json StepText(Step step) {
  switch (step) {
    case Step::Opening: return "open";
    case Step::CardWait: return "card wait";
    case Step::Entry: return "entry";
    case Step::Version: return "version";
    case Step::Mode: return "mode";
    case Step::ResetDelay: return "reset delay";
    case Step::Final: return "final";
    case Step::Done: break;
  }
  return nullptr;
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

}  // namespace

Json RunReportObject(const RunReport& report) {
  const bool set = !report.stopped && report.outcome.result == Result::Succeeded;
  const Json port = {
      {"port", report.port ? Json(*report.port) : Json()},
      {"device", OrNull(report.device)},
      {"identity", OrNull(report.identity)},
      {"mode", report.mode},
      {"clock", report.clock},
      {"reset_delay", report.resetDelay},
      {"result", ResultText(report)},
      {"failed_step", set ? Json() : StepText(report.outcome.step)},
      {"firmware", OrNull(report.outcome.firmware)},
      {"explanation", OrNull(report.explanation.empty() ? report.outcome.Explanation() : report.explanation)},
      {"started", UtcText(report.started)},
      {"ended", UtcText(report.ended)},
  };
  return port;
}

std::string RunReportsAsJson(const RunReport& report) { return Json::array({RunReportObject(report)}).dump(2) + "\n"; }

}  // namespace cli
