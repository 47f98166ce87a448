// Where the window stands and the lists' items, as the stored settings apply
// and take them; what is stored, and when, is the window's behaviour
// (window_logic.h).
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>

#include "Unit1.h"
#include "port_box.h"
#include "window_place.h"

namespace {

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
void TForm1::MoveOnto(QPoint wanted) {
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
  MoveOnto({storedXpos_.value_or(x()), storedYpos_.value_or(y())});
  storedXpos_.reset();
  storedYpos_.reset();
}

// No range check: an index naming no item leaves none selected, text empty.
void TForm1::SelectItem(TList list, int index) {
  QComboBox& box = List(list);
  if (index >= 0 && index < box.count()) {
    box.setCurrentIndex(index);
  } else {
    box.setCurrentIndex(-1);
    box.setEditText(QString());
  }
}

// Both edges stored place the window before it shows; one alone waits for
// the desktop's place of the other.
void TForm1::PlaceAt(std::optional<int> left, std::optional<int> top) {
  if (!DesktopTellsPlace()) return;
  storedXpos_ = left;
  storedYpos_ = top;
  if (left && top) MoveOnto({*left, *top});
}

std::optional<window_core::TPoint> TForm1::NormalPlace() const {
  if (!DesktopTellsPlace()) return std::nullopt;
  return window_core::TPoint{x(), y()};
}
