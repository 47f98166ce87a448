// Where the window opens: at its stored position while the user can reach it
// there; a position that would leave the title bar, or most of the window,
// off every screen (a monitor that is gone, a negative corner) is moved onto
// the nearest screen's available area. The stored values stay as they were
// until the close.
#pragma once

#include <vector>

namespace window_core {

struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
};

struct TPoint {
  int x = 0, y = 0;
  bool operator==(const TPoint&) const = default;
};

// The height of the strip at the window's top by which a user drags it.
inline constexpr int kTitleBarHeight = 24;

// `window` is the frame (title bar included) at the stored position; `screens`
// the available areas (without panels and docks) of every screen.
TPoint ReachablePlace(const TRect& window, const std::vector<TRect>& screens);

// The link's place for a text `textWidth` wide: `own` while the text fits,
// otherwise widened about its centre, inside a client area `clientWidth`
// wide, so that the address under the mouse (in a bold face, wider in some
// fonts than the link is) stays whole.
TRect LinkPlace(const TRect& own, int clientWidth, int textWidth);

}  // namespace window_core
