// The stored settings applied to the window's controls and taken from them;
// what is stored, and how, is the window's behaviour (stored_settings.h).
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

#include "Unit1.h"
#include "port_box.h"
#include "stored_settings.h"
#include "window_place.h"

namespace {

void SelectItem(QComboBox& box, std::int32_t index) {
  // No range check: an index naming no item leaves none selected, text empty.
  if (index >= 0 && index < box.count()) {
    box.setCurrentIndex(index);
  } else {
    box.setCurrentIndex(-1);
    box.setEditText(QString());
  }
}

// Wayland tells no window where it stands, nor lets it choose.
bool DesktopTellsPlace() { return !QGuiApplication::platformName().startsWith("wayland"); }

std::vector<window_core::TRect> ScreenAreas() {
  std::vector<window_core::TRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->availableGeometry();
    areas.push_back({area.x(), area.y(), area.width(), area.height()});
  }
  return areas;
}

}  // namespace

// The stored place, or the nearest one the user can reach. Before the window
// is shown its frame is not known, so the title bar's height is assumed.
void TForm1::PlaceAt(QPoint wanted) {
  const QRect frame = frameGeometry();
  const int frameHeight = frame.height() > height() ? frame.height() : height() + window_core::kTitleBarHeight;
  const window_core::TPoint place =
      window_core::ReachablePlace({wanted.x(), wanted.y(), frame.width(), frameHeight}, ScreenAreas());
  move(place.x, place.y);
}

// Once the desktop has placed the shown window, an edge stored alone moves
// and the other stays where the desktop put it; a stored place is checked
// again now that the frame is known.
void TForm1::PlaceOnceShown() {
  if (!storedXpos_ && !storedYpos_) return;
  PlaceAt({storedXpos_.value_or(x()), storedYpos_.value_or(y())});
  storedXpos_.reset();
  storedYpos_.reset();
}

// Each value applies at once, in reading order; a value that cannot be read
// ends the construction after those before it.
void TForm1::LoadSettings() {
  const window_core::TLoadedSettings loaded = window_core::LoadSettings();
  if (!loaded.notice.empty()) std::fprintf(stderr, "usb-corvane-config: %s\n", loaded.notice.c_str());
  const window_core::TStoredSettings& stored = loaded.values;
  if (stored.ComPort) SelectItem(*Port, *stored.ComPort - 1);
  // Both edges stored place the window before it shows; one alone waits for
  // the desktop's place of the other.
  if (DesktopTellsPlace()) {
    storedXpos_ = stored.Xpos;
    storedYpos_ = stored.Ypos;
    if (stored.Xpos && stored.Ypos) PlaceAt({*stored.Xpos, *stored.Ypos});
  }
  if (stored.Frequency) SelectItem(*Frequency, *stored.Frequency);
  if (stored.ResetDelay) EnableResetDelay->setChecked(*stored.ResetDelay != 0);
  if (!loaded.error.empty()) throw ERegistryException(loaded.error);
}

void TForm1::SaveSettings() {
  ++settingsSaves_;
  // Text typed over the port list names no item: the item chosen last is kept.
  const int port = ItemIndex(*Port) >= 0 ? ItemIndex(*Port) : Port->currentIndex();
  window_core::TWindowChoices choices{port, {}, {}, ItemIndex(*Frequency), EnableResetDelay->isChecked()};
  if (DesktopTellsPlace()) {
    choices.left = x();
    choices.top = y();
  }
  window_core::SaveSettings(choices);
}
