#include "desktop_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "window_place.h"

bool DesktopTellsPlace() { return !QGuiApplication::platformName().startsWith("wayland"); }

QPoint ReachableSpot(const QWidget& window, QPoint wanted) {
  std::vector<window_core::TRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->availableGeometry();
    areas.push_back({area.x(), area.y(), area.width(), area.height()});
  }
  const QRect frame = window.frameGeometry();
  const int frameHeight =
      frame.height() > window.height() ? frame.height() : window.height() + window_core::kTitleBarHeight;
  const window_core::TPoint place =
      window_core::ReachablePlace({wanted.x(), wanted.y(), frame.width(), frameHeight}, areas);
  return {place.x, place.y};
}
