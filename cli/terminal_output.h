// The run's status and progress. On a terminal that wants it, the status line
// is coloured and redrawn in place, its progress bar only on the line being
// drawn, so the scroll-back keeps one clean line per status; elsewhere each
// status is one plain line. Failure texts go to standard error.
#pragma once

#include <cstdio>
#include <string>

#include "Usb_corvaneinterface.h"
#include "run_output.h"

namespace cli {

// A terminal that takes colours and redrawing: not under NO_COLOR or
// TERM=dumb (or no TERM at all, on POSIX), and only a terminal.
bool WantsStyle(int fd);
// The platform's part of it (terminal_style_*.cpp): a terminal, by TERM, that
// draws colours.
bool TerminalTakesStyle(int fd);
// The rows and columns the terminal shows; 0 when it does not say (a serial
// console).
struct TerminalSize {
  int rows = 0;
  int columns = 0;
};
TerminalSize TerminalSizeOf(int fd);
// Text goes out as UTF-8, the program's own encoding (on Windows through its
// manifest's code page), so that names in any script show as they are.
void UseUtf8Terminal();

// The status line's colours on a terminal: its text and background.
const char* AnsiColors(TColor color);
// The progress bar's steps, as the window's bar has them.
inline constexpr int kProgressSteps = 15;

// One status line as drawn in place on a terminal, from its start to the end
// of the row: `lead` (a port's label, or nothing), the coloured text, then
// the progress bar at `position` when `withBar`. On a terminal `columns`
// wide (0: unknown) it never reaches the last column, where a terminal wraps
// and the redraw would miss the line: the bar goes first, then the text's end.
std::string StatusLine(const std::string& lead, TColor color, const std::string& text, int position, bool withBar,
                       int columns);

// Columns of UTF-8 text, one per character; and its first or last `count` of them.
std::size_t Columns(const std::string& text);
std::string FirstColumns(const std::string& text, std::size_t count);
std::string LastColumns(const std::string& text, std::size_t count);

struct OutputStream {
  std::FILE* file;
  bool styled;
};

class TerminalOutput final : public RunOutput {
 public:
  TerminalOutput(OutputStream out, OutputStream err) : out_(out), err_(err) {}
  ~TerminalOutput() override;
  TerminalOutput(const TerminalOutput&) = delete;
  TerminalOutput& operator=(const TerminalOutput&) = delete;

  void Show(const RunStatus& status) override;
  // Prefixed with the program's name when it goes to standard error.
  void Say(const std::string& text, bool error) override;
  void Finish() override;
  int OutputError() const override { return outputError_; }

 private:
  void Draw(bool withBar);

  OutputStream out_;
  OutputStream err_;
  OutputStream* line_ = nullptr;  // where the current status goes
  int columns_ = 0;               // of that terminal, 0 when it does not say
  bool lineOpen_ = false;
  RunStatus status_;
  int outputError_ = 0;
};

}  // namespace cli
