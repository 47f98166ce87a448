// The status of several runs at once. On a terminal that wants it and has a
// row for each, one line per port, each redrawn in place as its run goes;
// elsewhere one plain line per status change, the port's name first. Lines the runs say besides their
// status come under the board once it is finished, or at once when plain.
#pragma once

#include <string>
#include <vector>

#include "run_events.h"
#include "terminal_output.h"

namespace cli {

// The labels as a board shows them: whole up to 16 characters, else "..."
// and as much of the end as tells each apart from the others.
std::vector<std::string> BoardLabels(const std::vector<std::string>& labels);

class PortBoard {
 public:
  PortBoard(std::vector<std::string> labels, OutputStream out, OutputStream err);
  ~PortBoard();
  PortBoard(const PortBoard&) = delete;
  PortBoard& operator=(const PortBoard&) = delete;

  // The line of the port in `slot`, as a run's output.
  RunOutput& Line(std::size_t slot) { return lines_[slot]; }
  // Leaves the board as it stands, without progress bars, and says what was held.
  void Finish();
  // The first failed write to standard output (an errno), 0 when none.
  int OutputError() const { return outputError_; }

 private:
  class BoardLine final : public RunOutput {
   public:
    BoardLine(PortBoard& board, std::size_t slot) : board_(board), slot_(slot) {}
    void Show(const RunStatus& status) override { board_.Show(slot_, status); }
    void Say(const std::string& text, bool error) override { board_.Say(slot_, {text, error}); }
    void Finish() override {}  // the board's, once every run has ended
    int OutputError() const override { return board_.OutputError(); }

   private:
    PortBoard& board_;
    std::size_t slot_;
  };

  void Show(std::size_t slot, const RunStatus& status);
  void Say(std::size_t slot, const SayEvent& line);
  void Draw(std::size_t slot, bool withBar);
  void SayNow(std::size_t slot, const SayEvent& line);

  std::vector<std::string> labels_;
  std::vector<RunStatus> shown_;
  std::vector<BoardLine> lines_;
  std::vector<std::pair<std::size_t, SayEvent>> held_;
  OutputStream out_;
  OutputStream err_;
  std::size_t labelWidth_ = 0;
  int columns_ = 0;
  bool finished_ = false;
  int outputError_ = 0;
};

}  // namespace cli
