#include "terminal_output.h"

#include <cerrno>
#include <cstdlib>

namespace cli {

const char* AnsiColors(TColor color) {
  if (color == clLime) return "\033[30;42m";
  if (color == clRed) return "\033[97;41m";
  if (color == clYellow) return "\033[30;43m";
  return "\033[0m";
}

bool WantsStyle(int fd) {
  const char* noColor = std::getenv("NO_COLOR");
  if (noColor != nullptr && *noColor != '\0') return false;
  return TerminalTakesStyle(fd);
}

TerminalOutput::TerminalOutput(OutputStream out, OutputStream err, bool resetDelay)
    : out_(out), err_(err), resetDelay_(resetDelay) {}

TerminalOutput::~TerminalOutput() { Finish(); }

void TerminalOutput::SetText(const std::string& text) {
  Finish();
  text_ = text;
  line_ = LastRunOutcome().ShowsFailure() ? &err_ : &out_;
  if (line_->styled) {
    lineOpen_ = true;
    Draw(true);
  } else {
    std::fprintf(line_->file, "%s\n", text.c_str());
    Flush(line_->file);
  }
}

void TerminalOutput::SetColor(TColor color) {
  color_ = color;
  if (lineOpen_) Draw(true);
}

void TerminalOutput::SetPosition(int position) {
  position_ = position;
  if (lineOpen_) Draw(true);
}

void TerminalOutput::Draw(bool withBar) {
  std::string bar;
  if (withBar && position_ > 0) {
    bar = "  [";
    for (int i = 0; i < kProgressSteps; ++i) bar += i < position_ ? '#' : '.';
    bar += "]";
  }
  std::fprintf(line_->file, "\r%s %s \033[0m%s\033[K", AnsiColors(color_), text_.c_str(), bar.c_str());
  Flush(line_->file);
}

void TerminalOutput::Finish() {
  if (lineOpen_) {
    Draw(false);
    std::fputc('\n', line_->file);
    Flush(line_->file);
  }
  lineOpen_ = false;
}

void TerminalOutput::Flush(std::FILE* file) {
  if (std::fflush(file) != 0 && file == out_.file && outputError_ == 0) outputError_ = errno;
}

}  // namespace cli
