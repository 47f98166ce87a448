#include "port_board.h"

#include <algorithm>
#include <cerrno>

namespace cli {
namespace {

// Short enough for a line of 80 columns with the longest status and its bar.
constexpr std::size_t kBoardLabelMax = 16;
constexpr const char* kCut = "...";

bool EndsAlike(const std::string& a, const std::string& b, std::size_t columns) {
  return Columns(a) >= columns && Columns(b) >= columns && LastColumns(a, columns) == LastColumns(b, columns);
}

}  // namespace

std::vector<std::string> BoardLabels(const std::vector<std::string>& labels) {
  std::vector<std::string> shown;
  for (const std::string& label : labels) {
    std::size_t keep = kBoardLabelMax - Columns(kCut);
    const auto alike = [&](const std::string& other) { return &other != &label && EndsAlike(other, label, keep); };
    while (keep < Columns(label) && std::any_of(labels.begin(), labels.end(), alike)) ++keep;
    shown.push_back(Columns(label) <= std::max(keep + Columns(kCut), kBoardLabelMax) ? label
                                                                                 : kCut + LastColumns(label, keep));
  }
  return shown;
}

PortBoard::PortBoard(std::vector<std::string> labels, OutputStream out, OutputStream err)
    : labels_(std::move(labels)), shown_(labels_.size()), out_(out), err_(err) {
  for (std::size_t slot = 0; slot < labels_.size(); ++slot) lines_.emplace_back(*this, slot);
  // A line scrolled out of the window, or one the terminal wraps, is out of
  // reach of the redraw: more ports than rows, or a terminal that does not
  // say its size (a serial console), get plain lines.
  const TerminalSize size = out_.styled ? TerminalSizeOf(fileno(out_.file)) : TerminalSize{};
  if (size.rows <= 0 || size.columns <= 0 || labels_.size() >= static_cast<std::size_t>(size.rows)) out_.styled = false;
  if (!out_.styled) return;
  columns_ = size.columns;
  labels_ = BoardLabels(labels_);
  for (const std::string& label : labels_) labelWidth_ = std::max(labelWidth_, Columns(label));
  // Room for the start of the status beside the longest label.
  constexpr std::size_t kStatusMin = 12;  // the blanks around the label and the text, and 8 of the text
  const std::size_t widest =
      std::max<std::size_t>(Columns(kCut) + 1, static_cast<std::size_t>(columns_) > kStatusMin + 1
                                                   ? static_cast<std::size_t>(columns_) - kStatusMin - 1
                                                   : 0);
  if (labelWidth_ > widest) {
    for (std::string& label : labels_) {
      if (Columns(label) > widest) label = kCut + LastColumns(label, widest - Columns(kCut));
    }
    labelWidth_ = widest;
  }
  for (std::size_t slot = 0; slot < labels_.size(); ++slot) std::fputc('\n', out_.file);
  for (std::size_t slot = 0; slot < labels_.size(); ++slot) Draw(slot, true);
}

PortBoard::~PortBoard() { Finish(); }

void PortBoard::Show(std::size_t slot, const RunStatus& status) {
  if (finished_) return;
  const bool newText = status.text != shown_[slot].text;
  shown_[slot] = status;
  if (out_.styled) {
    Draw(slot, true);
  } else if (newText && !status.text.empty()) {
    const OutputStream& stream = status.failure ? err_ : out_;
    std::fprintf(stream.file, "%s: %s\n", labels_[slot].c_str(), status.text.c_str());
    FlushKeepingError(stream.file, outputError_);
  }
}

void PortBoard::Say(std::size_t slot, const SayEvent& line) {
  if (out_.styled && !finished_) {
    held_.emplace_back(slot, line);
  } else {
    SayNow(slot, line);
  }
}

void PortBoard::Finish() {
  if (finished_) return;
  if (out_.styled) {
    for (std::size_t slot = 0; slot < labels_.size(); ++slot) Draw(slot, false);
  }
  finished_ = true;
  for (const auto& [slot, line] : held_) SayNow(slot, line);
  held_.clear();
}

// The board's lines end with the cursor under the last one; a line is
// reached by moving up to it and back.
void PortBoard::Draw(std::size_t slot, bool withBar) {
  const RunStatus& status = shown_[slot];
  const std::size_t up = labels_.size() - slot;
  const std::string lead = labels_[slot] + std::string(labelWidth_ - Columns(labels_[slot]) + 2, ' ');
  std::fprintf(out_.file, "\033[%zuA%s\033[%zuB\r", up,
               StatusLine(lead, status.color, status.text, status.position, withBar, columns_).c_str(), up);
  FlushKeepingError(out_.file, outputError_);
}

void PortBoard::SayNow(std::size_t slot, const SayEvent& line) {
  if (line.error) {
    std::fprintf(err_.file, "usb-corvane: %s: %s\n", labels_[slot].c_str(), line.text.c_str());
    FlushKeepingError(err_.file, outputError_);
  } else {
    std::fprintf(out_.file, "%s: %s\n", labels_[slot].c_str(), line.text.c_str());
    FlushKeepingError(out_.file, outputError_);
  }
}

}  // namespace cli
