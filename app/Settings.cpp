// The stored settings applied to the window's controls and taken from them;
// what is stored, and how, is the window's behaviour (stored_settings.h).
#include <QCheckBox>
#include <QComboBox>
#include <QScreen>
#include <cstdio>

#include "Unit1.h"
#include "port_box.h"
#include "stored_settings.h"

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

}  // namespace

// Where the window stands when no position is stored and the desktop has not
// placed it: centred on the screen. An edge stored alone keeps the other here.
QPoint TForm1::DefaultPlace() const {
  const QRect screenArea = screen()->availableGeometry();
  return screenArea.center() - QPoint(width() / 2, height() / 2);
}

// Each value applies at once, in reading order; a value that cannot be read
// ends the construction after those before it.
void TForm1::LoadSettings() {
  const window_core::TLoadedSettings loaded = window_core::LoadSettings();
  if (!loaded.notice.empty()) std::fprintf(stderr, "usb-corvane-config: %s\n", loaded.notice.c_str());
  const window_core::TStoredSettings& stored = loaded.values;
  if (stored.ComPort) SelectItem(*Port, *stored.ComPort - 1);
  // Each edge applies on its own; one not stored keeps its default place.
  const QPoint place = DefaultPlace();
  if (stored.Xpos) move(*stored.Xpos, place.y());
  if (stored.Ypos) move(stored.Xpos.value_or(place.x()), *stored.Ypos);
  if (stored.Frequency) SelectItem(*Frequency, *stored.Frequency);
  if (stored.ResetDelay) EnableResetDelay->setChecked(*stored.ResetDelay != 0);
  if (!loaded.error.empty()) throw ERegistryException(loaded.error);
}

void TForm1::SaveSettings() {
  ++settingsSaves_;
  window_core::SaveSettings({ItemIndex(*Port), x(), y(), ItemIndex(*Frequency), EnableResetDelay->isChecked()});
}
