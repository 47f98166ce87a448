// Where a top-level window may stand on this desktop: whether the desktop
// tells a window its place at all (Wayland does not), and the reachable spot
// nearest to a stored one.
#pragma once

#include <QPoint>

class QWidget;

// Wayland tells no window where it stands, nor lets it choose.
bool DesktopTellsPlace();
// `wanted`, or the nearest spot on a screen's available area where the
// user can reach the window's title bar. Before the window is shown its frame
// is not known, so the title bar's height is assumed.
QPoint ReachableSpot(const QWidget& window, QPoint wanted);
