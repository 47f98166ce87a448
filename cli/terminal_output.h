// The run's status and progress on a terminal (coloured, redrawn in place) or
// as plain lines for a pipe or a file.
#pragma once

#include <cstdio>
#include <string>

#include "Usb_corvaneinterface.h"

namespace cli {

class TerminalOutput final : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  TerminalOutput(std::FILE* out, bool terminal, bool resetDelay);
  ~TerminalOutput();
  TerminalOutput(const TerminalOutput&) = delete;
  TerminalOutput& operator=(const TerminalOutput&) = delete;

  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override { return kButtonFace; }
  int Position() const override { return position_; }
  void SetPosition(int position) override;
  bool Ticked() const override { return resetDelay_; }

  // Ends the line being drawn.
  void Finish();
  const std::string& text() const { return text_; }

  static constexpr TColor kButtonFace{212, 208, 200};

 private:
  void Redraw();

  std::FILE* out_;
  bool terminal_;
  bool resetDelay_;
  bool lineOpen_ = false;
  std::string text_;
  TColor color_ = kButtonFace;
  int position_ = 0;
};

}  // namespace cli
