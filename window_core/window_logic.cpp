#include "window_logic.h"

#include <cstdio>
#include <map>

#include "port_table.h"

namespace window_core {

void TWindowLogic::RunMode(const std::string& modeName) {
  const std::string clockText = view_.ClockText();
  const DWORD portNumber = static_cast<DWORD>(view_.PortIndex() + 1);
  // A pressed button's focus waits on the status line while the run goes, so
  // that a second key press neither lands in the port box nor starts the
  // other mode, and a screen reader speaks the outcome there; at the end it
  // goes back to the button pressed, for the next press.
  using TFocus = TWindowView::TFocus;
  const TFocus pressed = view_.Focused();
  const bool fromButton = pressed == TFocus::CorvaneButton || pressed == TFocus::SmartMouseButton;
  if (fromButton) view_.Focus(TFocus::Status);
  view_.EnableModeButtons(false);
  struct Reenable {
    TWindowView& view;
    TFocus pressed;
    bool fromButton;
    ~Reenable() {
      view.EnableModeButtons(true);
      if (fromButton && view.Focused() == TFocus::Status) view.Focus(pressed);
    }
  } reenable{view_, pressed, fromButton};
  SetInterfaceMode(modeName, clockText, kCardTries, portNumber, view_);
  // Why the port did not open, or went away: where the user looks, and on
  // standard error for one who started the window from a terminal. A run
  // with nothing to explain clears it.
  const std::string why = LastRunOutcome().Explanation();
  view_.SetStatusTip(why);
  if (!why.empty()) std::fprintf(stderr, "usb-corvane-config: %s\n", why.c_str());
  if (closePending_) {
    closePending_ = false;
    view_.Close();
  }
}

// A close during the wait for the card stops the run and closes at once; once
// the dialogue has begun, the close waits for the run's end (seconds at most).
bool TWindowLogic::MayClose() {
  if (InterfaceRunActive() && !RequestInterfaceRunStop()) {
    closePending_ = true;
    return false;
  }
  return true;
}

std::vector<std::string> PortTips(unsigned count) {
  // One look at the machine's devices serves every item.
  std::map<unsigned, platform::ports::PortEntry> devices;
  platform::ports::PortList list = platform::ports::List();
  for (auto& entry : list.ports) devices.emplace(entry.number, std::move(entry));
  // Nothing is renumbered around damage: every unmapped number opens nothing.
  const std::string nothing = list.problem.empty()
                                  ? "No device on this machine"
                                  : "Opens nothing while the stored port numbers cannot be read (" + list.problem + ")";
  std::vector<std::string> tips;
  for (unsigned number = 1; number <= count; ++number) {
    const auto found = devices.find(number);
    if (found == devices.end()) {
      tips.push_back(nothing);
      continue;
    }
    const auto& entry = found->second;
    if (!entry.present) {
      tips.push_back(entry.identity + " (not plugged in)");
    } else if (!entry.description.empty() && entry.description != entry.device) {
      tips.push_back(entry.device + " (" + entry.description + ")");
    } else {
      tips.push_back(entry.device);
    }
  }
  return tips;
}

}  // namespace window_core
