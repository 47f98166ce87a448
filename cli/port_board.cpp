#include "port_board.h"

#include <algorithm>
#include <cerrno>

namespace cli {
namespace {

// A longer name would wrap a line of 80 columns, and a wrapped line is not
// redrawn in place.
constexpr std::size_t kBoardLabelMax = 16;

std::string BoardLabel(const std::string& label) {
  if (label.size() <= kBoardLabelMax) return label;
  return "..." + label.substr(label.size() - (kBoardLabelMax - 3));
}

}  // namespace

PortBoard::PortBoard(std::vector<std::string> labels, OutputStream out, OutputStream err)
    : labels_(std::move(labels)), shown_(labels_.size()), out_(out), err_(err) {
  // A line scrolled out of the window is out of reach of the redraw: more
  // ports than rows get plain lines.
  const int rows = out_.styled ? TerminalRows(fileno(out_.file)) : 0;
  if (rows > 0 && labels_.size() >= static_cast<std::size_t>(rows)) out_.styled = false;
  if (!out_.styled) return;
  for (std::string& label : labels_) {
    label = BoardLabel(label);
    labelWidth_ = std::max(labelWidth_, label.size());
  }
  for (std::size_t port = 0; port < labels_.size(); ++port) std::fputc('\n', out_.file);
  for (std::size_t port = 0; port < labels_.size(); ++port) Draw(port, true);
}

PortBoard::~PortBoard() { Finish(); }

void PortBoard::Show(std::size_t port, const StatusEvent& status) {
  if (finished_) return;
  const bool newText = status.text != shown_[port].text;
  shown_[port] = status;
  if (out_.styled) {
    Draw(port, true);
  } else if (newText && !status.text.empty()) {
    const OutputStream& stream = status.failure ? err_ : out_;
    std::fprintf(stream.file, "%s: %s\n", labels_[port].c_str(), status.text.c_str());
    Flush(stream.file);
  }
}

void PortBoard::Say(std::size_t port, const SayEvent& line) {
  if (out_.styled && !finished_) {
    held_.emplace_back(port, line);
  } else {
    SayNow(port, line);
  }
}

void PortBoard::Finish() {
  if (finished_) return;
  if (out_.styled) {
    for (std::size_t port = 0; port < labels_.size(); ++port) Draw(port, false);
  }
  finished_ = true;
  for (const auto& [port, line] : held_) SayNow(port, line);
  held_.clear();
}

// The board's lines end with the cursor under the last one; a line is
// reached by moving up to it and back.
void PortBoard::Draw(std::size_t port, bool withBar) {
  const StatusEvent& status = shown_[port];
  std::string bar;
  if (withBar && status.position > 0) {
    bar = "  [";
    for (int i = 0; i < kProgressSteps; ++i) bar += i < status.position ? '#' : '.';
    bar += "]";
  }
  const std::size_t up = labels_.size() - port;
  std::string label = labels_[port];
  label.resize(labelWidth_, ' ');
  std::fprintf(out_.file, "\033[%zuA\r%s  %s %s \033[0m%s\033[K\033[%zuB\r", up, label.c_str(),
               AnsiColors(status.color), status.text.c_str(), bar.c_str(), up);
  Flush(out_.file);
}

void PortBoard::SayNow(std::size_t port, const SayEvent& line) {
  if (line.error) {
    std::fprintf(err_.file, "usb-corvane: %s: %s\n", labels_[port].c_str(), line.text.c_str());
    Flush(err_.file);
  } else {
    std::fprintf(out_.file, "%s: %s\n", labels_[port].c_str(), line.text.c_str());
    Flush(out_.file);
  }
}

void PortBoard::Flush(std::FILE* file) {
  if (std::fflush(file) != 0 && file == stdout && outputError_ == 0) outputError_ = errno;
}

}  // namespace cli
