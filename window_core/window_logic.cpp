#include "window_logic.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>

#include "Scom.h"
#include "child_process.h"
#include "port_table.h"
#include "stored_settings.h"

namespace window_core {

namespace {

// The first `count` characters of UTF-8 text, never half a character.
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t characters = 0; end < text.size(); ++end) {
    const bool starts = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
    if (starts && characters++ == count) break;
  }
  return text.substr(0, end);
}

}  // namespace

void TWindowLogic::Start() {
  using TList = TWindowView::TList;
  const TLoadedSettings loaded = LoadSettings();
  if (!loaded.notice.empty()) std::fprintf(stderr, "usb-corvane-config: %s\n", loaded.notice.c_str());
  const TStoredSettings& stored = loaded.values;
  // No range check: a number naming no item leaves none selected.
  if (stored.ComPort) {
    view_.SelectItem(TList::Port, static_cast<int>(std::max<std::int64_t>(-1, std::int64_t{*stored.ComPort} - 1)));
  }
  chosenPort_ = ItemIndex(TList::Port);
  view_.PlaceAt(stored.Xpos, stored.Ypos);
  if (stored.Frequency) view_.SelectItem(TList::Frequency, *stored.Frequency);
  if (stored.ResetDelay) view_.SetTicked(*stored.ResetDelay != 0);
  if (!loaded.error.empty()) throw ERegistryException(loaded.error);
  SerialPort.LogTraffic = false;
  RunWindow = {&view_, &view_};
}

TWindowLogic::~TWindowLogic() {
  if (RunWindow.ProgressBar1 == &view_) RunWindow = {};
}

int TWindowLogic::ItemIndex(TWindowView::TList list) const { return view_.FindItem(list, view_.ShownText(list)); }

void TWindowLogic::RunMode(const std::string& modeName) {
  // The clock as the list shows it, typed or chosen; the port by its item.
  const std::string clockText = FirstCharacters(view_.ShownText(TWindowView::TList::Frequency), 4);
  const DWORD portNumber = static_cast<DWORD>(ItemIndex(TWindowView::TList::Port) + 1);
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
  if (InterfaceRunActive() && !RequestCardWaitStop()) {
    closePending_ = true;
    return false;
  }
  return true;
}

bool TWindowLogic::CloseQuery() {
  if (!MayClose()) return false;
  using TList = TWindowView::TList;
  // Text typed over the port list names no item: the item chosen last is
  // stored, so that the next start still opens a port.
  const int shownPort = ItemIndex(TList::Port);
  TWindowChoices choices{shownPort >= 0 ? shownPort : chosenPort_, {}, {}, ItemIndex(TList::Frequency),
                         view_.Ticked()};
  if (const auto place = view_.NormalPlace()) {
    choices.left = place->x;
    choices.top = place->y;
  }
  try {
    SaveSettings(choices);
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
  view_.Finish();
  return true;
}

void TWindowLogic::ShowError(const std::string& message) {
  view_.ShowErrorBox(ErrorBoxCaption(), TopLevelMessage(message));
}

std::string ApplicationTitle(const std::string& programPath) {
  std::string name = programPath.substr(programPath.find_last_of("/\\") + 1);
  name = name.substr(0, name.find('.'));
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] >= 'A' && name[i] <= 'Z') name[i] = static_cast<char>(name[i] - 'A' + 'a');
  }
  return name;
}

std::string ErrorBoxCaption() { return ApplicationTitle(platform::OwnProgramPath()); }

std::string TopLevelMessage(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
  return message;
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

std::string PortTip(int index) {
  if (index < 0 || index >= static_cast<int>(kPortCount)) return "No device on this machine";
  return PortTips(static_cast<unsigned>(index) + 1).back();  // the items up to the one shown
}

}  // namespace window_core
