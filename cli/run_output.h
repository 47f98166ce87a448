// Where a run's status line and its other lines go, for one run or several:
// a terminal's lines (TerminalOutput), the event lines a run of several
// writes for its command (EventOutput), or one port's line on that command's
// board (PortBoard::Line). The run itself draws through a StatusTracker,
// which hands each of them the status line as it stands.
#pragma once

#include <cstdio>
#include <string>

#include "Usb_corvaneinterface.h"

namespace cli {

struct RunStatus {
  std::string text;
  TColor color;
  int position = 0;
  bool failure = false;  // the run's failure text, for standard error
  TRunOutcome::Step step = TRunOutcome::Step::Opening;  // the step the run had reached
};

class RunOutput {
 public:
  virtual ~RunOutput() = default;
  // The status line as it now stands; a new text begins a new line.
  virtual void Show(const RunStatus& status) = 0;
  // A line of its own: for standard output, or for standard error when `error`.
  virtual void Say(const std::string& text, bool error) = 0;
  // Leaves the status line as it stands, without its progress bar.
  virtual void Finish() = 0;
  // The first failed write to standard output (an errno), 0 when none.
  virtual int OutputError() const = 0;
};

// The run's status control, progress bar and reset-delay flag, as one
// status line handed to `output` at every change.
class StatusTracker final : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  static constexpr TColor kButtonFace{212, 208, 200};

  StatusTracker(RunOutput& output, bool resetDelay) : output_(output), resetDelay_(resetDelay) {
    status_.color = kButtonFace;
  }

  void SetText(const std::string& text) override {
    status_.text = text;
    status_.failure = LastRunOutcome().ShowsFailure();
    status_.step = LastRunOutcome().step;
    output_.Show(status_);
  }
  void SetColor(TColor color) override {
    status_.color = color;
    output_.Show(status_);
  }
  TColor ButtonFace() const override { return kButtonFace; }
  int Position() const override { return status_.position; }
  void SetPosition(int position) override {
    status_.position = position;
    output_.Show(status_);
  }
  bool Ticked() const override { return resetDelay_; }

 private:
  RunOutput& output_;
  bool resetDelay_;
  RunStatus status_;
};

// Flushes `file`; the first failure on standard output is kept in `error`
// (an errno), for the end of the program to report.
void FlushKeepingError(std::FILE* file, int& error);

}  // namespace cli
