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
#include "terminal_output.h"

namespace cli {

struct StatusEvent {
  std::string text;
  TColor color;
  int position = 0;
  bool failure = false;  // the run's failure text, for standard error
  TRunOutcome::Step step = TRunOutcome::Step::Opening;  // the step the run had reached
};
struct SayEvent {
  std::string text;
  bool error = false;
};
struct ReportEvent {
  nlohmann::ordered_json object;  // as --json gives it
};
using RunEvent = std::variant<StatusEvent, SayEvent, ReportEvent>;

// The run's side: the status and progress as events.
class EventOutput final : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  EventOutput(std::FILE* out, bool resetDelay) : out_(out), resetDelay_(resetDelay) {
    status_.color = TerminalOutput::kButtonFace;
  }

  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override { return TerminalOutput::kButtonFace; }
  int Position() const override { return status_.position; }
  void SetPosition(int position) override;
  bool Ticked() const override { return resetDelay_; }

  void Say(const std::string& text, bool error);
  void Report(const RunReport& report);

 private:
  void Write(const std::string& line);

  std::FILE* out_;
  bool resetDelay_;
  StatusEvent status_;
};

// The reading side; nothing for a line that is no event.
std::optional<RunEvent> ParseRunEvent(const std::string& line);

}  // namespace cli
