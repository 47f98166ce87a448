// What a run on one port tells the usb-corvane that runs several (--events):
// one JSON object per line on its standard output, written as it happens.
//   {"status": TEXT, "color": [R, G, B], "position": N, "failure": BOOL,
//    "step": STEP}                   STEP as the report names it, or null
//                                    once the run is through
//   {"say": TEXT, "error": BOOL}     a line for standard output or error
//   {"report": {...}}                the outcome, as --json gives it
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <variant>

#include "Usb_corvaneinterface.h"
#include "run_report.h"
#include "run_output.h"

namespace cli {

using StatusEvent = RunStatus;
struct SayEvent {
  std::string text;
  bool error = false;
};
struct ReportEvent {
  nlohmann::ordered_json object;  // as --json gives it
};
using RunEvent = std::variant<StatusEvent, SayEvent, ReportEvent>;

// The run's side: its status line and lines as events, then its report.
class EventOutput final : public RunOutput {
 public:
  explicit EventOutput(std::FILE* out) : out_(out) {}

  void Show(const RunStatus& status) override;
  void Say(const std::string& text, bool error) override;
  void Finish() override {}
  // Nobody to tell but the command, whose end stops this run.
  int OutputError() const override { return 0; }
  void Report(const RunReport& report);

 private:
  void Write(const std::string& line);

  std::FILE* out_;
};

// The reading side; nothing for a line that is no event.
std::optional<RunEvent> ParseRunEvent(const std::string& line);

}  // namespace cli
