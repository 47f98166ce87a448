// The window's behaviour between its controls and the run: a mode button
// starts a run with the choices shown, the buttons wait for its end, a close
// during the run stops or waits for it, and each port item says what it opens.
#pragma once

#include <string>
#include <vector>

#include "window_view.h"

namespace window_core {

inline constexpr int kCardTries = 30;      // seconds the window waits for the card
inline constexpr unsigned kPortCount = 16;  // "Com1" ... "COM16"
// The device maker's site, which the picture and the link open.
inline constexpr const char* kWebAddress = "https://www.veltra-software.example/";

class TWindowLogic {
 public:
  explicit TWindowLogic(TWindowView& view) : view_(view) {}

  void RunMode(const std::string& modeName);
  // False when the close must wait for the run's end; the window closes then.
  bool MayClose();

 private:
  TWindowView& view_;
  bool closePending_ = false;
};

// The tool tip of each port item: the device its number opens on this
// machine, the adapter it waits for, or why it opens nothing.
std::vector<std::string> PortTips(unsigned count = kPortCount);

}  // namespace window_core
