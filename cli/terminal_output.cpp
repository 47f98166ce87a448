#include "terminal_output.h"

namespace cli {
namespace {

constexpr int kProgressMax = 15;

const char* Ansi(TColor color) {
  if (color == clLime) return "\033[30;42m";
  if (color == clRed) return "\033[97;41m";
  if (color == clYellow) return "\033[30;43m";
  return "\033[0m";
}

}  // namespace

TerminalOutput::TerminalOutput(std::FILE* out, bool terminal, bool resetDelay)
    : out_(out), terminal_(terminal), resetDelay_(resetDelay) {}

TerminalOutput::~TerminalOutput() { Finish(); }

void TerminalOutput::SetText(const std::string& text) {
  Finish();
  text_ = text;
  if (terminal_) {
    lineOpen_ = true;
    Redraw();
  } else {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
  }
}

void TerminalOutput::SetColor(TColor color) {
  color_ = color;
  if (terminal_ && lineOpen_) Redraw();
}

void TerminalOutput::SetPosition(int position) {
  position_ = position;
  if (terminal_ && lineOpen_) Redraw();
}

void TerminalOutput::Redraw() {
  std::string bar;
  if (position_ > 0) {
    bar = "  [";
    for (int i = 0; i < kProgressMax; ++i) bar += i < position_ ? '#' : '.';
    bar += "]";
  }
  std::fprintf(out_, "\r%s %s \033[0m%s\033[K", Ansi(color_), text_.c_str(), bar.c_str());
  std::fflush(out_);
}

void TerminalOutput::Finish() {
  if (terminal_ && lineOpen_) {
    std::fprintf(out_, "\n");
    std::fflush(out_);
  }
  lineOpen_ = false;
}

}  // namespace cli
