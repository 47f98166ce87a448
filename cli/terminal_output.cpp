#include "terminal_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace cli {

const char* AnsiColors(TColor color) {
  if (color == clLime) return "\033[30;42m";
  if (color == clRed) return "\033[97;41m";
  if (color == clYellow) return "\033[30;43m";
  return "\033[0m";
}

namespace {

bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !Continues(c); }));
}

std::string FirstColumns(const std::string& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t taken = 0; end < text.size(); ++end) {
    if (!Continues(text[end]) && taken++ == count) break;
  }
  return text.substr(0, end);
}

std::string LastColumns(const std::string& text, std::size_t count) {
  const std::size_t columns = Columns(text);
  return columns <= count ? text : text.substr(FirstColumns(text, columns - count).size());
}

std::string StatusLine(const std::string& lead, TColor color, const std::string& text, int position, bool withBar,
                       int columns) {
  std::string bar;
  if (withBar && position > 0) {
    bar = "  [";
    for (int i = 0; i < kProgressSteps; ++i) bar += i < position ? '#' : '.';
    bar += "]";
  }
  std::string shown = text;
  if (columns > 0) {
    const std::size_t room = static_cast<std::size_t>(columns) - 1;
    const std::size_t around = Columns(lead) + 2;  // the blanks on the coloured ground
    if (around + Columns(shown) + bar.size() > room) bar.clear();
    if (around + Columns(shown) > room) shown = FirstColumns(shown, room > around ? room - around : 0);
  }
  return "\r" + lead + AnsiColors(color) + " " + shown + " \033[0m" + bar + "\033[K";
}

bool WantsStyle(int fd) {
  const char* noColor = std::getenv("NO_COLOR");
  if (noColor != nullptr && *noColor != '\0') return false;
  return TerminalTakesStyle(fd);
}

void FlushKeepingError(std::FILE* file, int& error) {
  if (std::fflush(file) != 0 && file == stdout && error == 0) error = errno;
}

TerminalOutput::~TerminalOutput() { Finish(); }

void TerminalOutput::Show(const RunStatus& status) {
  if (status.text == status_.text) {
    status_ = status;
    if (lineOpen_) Draw(true);
    return;
  }
  Finish();  // the line before, as it stood
  status_ = status;
  line_ = status.failure ? &err_ : &out_;
  if (line_->styled) {
    columns_ = TerminalSizeOf(fileno(line_->file)).columns;
    lineOpen_ = true;
    Draw(true);
  } else {
    std::fprintf(line_->file, "%s\n", status.text.c_str());
    FlushKeepingError(line_->file, outputError_);
  }
}

void TerminalOutput::Say(const std::string& text, bool error) {
  if (error) {
    std::fprintf(err_.file, "usb-corvane: %s\n", text.c_str());
    FlushKeepingError(err_.file, outputError_);
  } else {
    std::fprintf(out_.file, "%s\n", text.c_str());
    FlushKeepingError(out_.file, outputError_);
  }
}

void TerminalOutput::Draw(bool withBar) {
  std::fputs(StatusLine("", status_.color, status_.text, status_.position, withBar, columns_).c_str(), line_->file);
  FlushKeepingError(line_->file, outputError_);
}

void TerminalOutput::Finish() {
  if (lineOpen_) {
    Draw(false);
    std::fputc('\n', line_->file);
    FlushKeepingError(line_->file, outputError_);
  }
  lineOpen_ = false;
}

}  // namespace cli
