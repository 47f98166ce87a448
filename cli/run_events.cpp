#include "run_events.h"

#include <nlohmann/json.hpp>

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

}  // namespace

void EventOutput::Show(const RunStatus& status) {
  const auto& c = status.color;
  Write(Json{{"status", status.text},
             {"color", {c.red, c.green, c.blue}},
             {"position", status.position},
             {"failure", status.failure},
             {"step", StepName(status.step)}}
            .dump());
}

void EventOutput::Say(const std::string& text, bool error) { Write(Json{{"say", text}, {"error", error}}.dump()); }

void EventOutput::Report(const RunReport& report) { Write(Json{{"report", RunReportObject(report)}}.dump()); }

// Each line whole and at once: the reader takes it as it comes.
void EventOutput::Write(const std::string& line) {
  std::fputs((line + "\n").c_str(), out_);
  std::fflush(out_);
}

std::optional<RunEvent> ParseRunEvent(const std::string& line) {
  const Json event = Json::parse(line, nullptr, false);
  if (!event.is_object()) return std::nullopt;
  try {
    if (event.contains("status")) {
      const auto& c = event.at("color");
      const auto& step = event.value("step", Json());
      return StatusEvent{event.at("status").get<std::string>(),
                         TColor{c.at(0).get<std::uint8_t>(), c.at(1).get<std::uint8_t>(), c.at(2).get<std::uint8_t>()},
                         event.at("position").get<int>(), event.at("failure").get<bool>(),
                         step.is_string() ? StepNamed(step.get<std::string>()).value_or(TRunOutcome::Step::Done)
                                          : TRunOutcome::Step::Done};
    }
    if (event.contains("say")) return SayEvent{event.at("say").get<std::string>(), event.at("error").get<bool>()};
    if (event.contains("report") && event.at("report").is_object()) return ReportEvent{event.at("report")};
  } catch (const Json::exception&) {
  }
  return std::nullopt;
}

}  // namespace cli
