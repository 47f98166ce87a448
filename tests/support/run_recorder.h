// The window's side of a run, recorded with virtual time stamps.
#pragma once

#include <string>
#include <vector>

#include "Usb_corvaneinterface.h"
#include "clock.h"

namespace testing_support {

inline constexpr TColor kButtonFace{240, 240, 240};

struct StatusEvent {
  std::string text;  // empty for a colour change
  TColor color;
  bool isText;
  platform::MonoTime at;
};

class RecordingStatus final : public TStatusControl {
 public:
  explicit RecordingStatus(platform::Clock& clock) : clock_(clock) {}
  void SetText(const std::string& text) override {
    this->text = text;
    events.push_back({text, {}, true, clock_.Now()});
  }
  void SetColor(TColor color) override {
    this->color = color;
    events.push_back({{}, color, false, clock_.Now()});
  }
  TColor ButtonFace() const override { return kButtonFace; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& e : events) if (e.isText) texts.push_back(e.text);
    return texts;
  }
  std::vector<TColor> Colors() const {
    std::vector<TColor> colors;
    for (const auto& e : events) if (!e.isText) colors.push_back(e.color);
    return colors;
  }

  std::string text;
  TColor color = kButtonFace;
  std::vector<StatusEvent> events;

 private:
  platform::Clock& clock_;
};

class RecordingProgress final : public TProgressBar {
 public:
  explicit RecordingProgress(platform::Clock& clock) : clock_(clock) {}
  int Position() const override { return position; }
  void SetPosition(int value) override {
    position = value;
    positions.push_back(value);
    times.push_back(clock_.Now());
  }

  int position = 0;
  std::vector<int> positions;
  std::vector<platform::MonoTime> times;

 private:
  platform::Clock& clock_;
};

class Flag final : public TResetDelayFlag {
 public:
  bool Ticked() const override { return ticked; }
  bool ticked = true;
};

}  // namespace testing_support
