#include "window_place.h"

#include <algorithm>
#include <limits>

namespace window_core {
namespace {

int Overlap(int start, int end, int otherStart, int otherEnd) {
  return std::max(0, std::min(end, otherEnd) - std::max(start, otherStart));
}

// The title bar lies on the screen from end to end of its height, and at
// least half the window's width (at least the part with the close box) too.
bool ReachableOn(const TRect& window, const TRect& screen) {
  const int titleBar = std::min(kTitleBarHeight, window.height);
  const bool titleRowInside = window.top >= screen.top && window.top + titleBar <= screen.Bottom();
  const int across = Overlap(window.left, window.Right(), screen.left, screen.Right());
  return titleRowInside && 2 * across >= std::min(window.width, screen.width);
}

long long DistanceSquared(const TRect& window, const TRect& screen) {
  const long long dx = std::max({0, screen.left - window.left, window.left - (screen.Right() - window.width)});
  const long long dy = std::max({0, screen.top - window.top, window.top - (screen.Bottom() - window.height)});
  return dx * dx + dy * dy;
}

// Inside `screen`, as near to `wanted` as it fits; a window larger than the
// area keeps its top left corner (and title bar) on it.
int Fit(int wanted, int size, int start, int end) { return std::max(start, std::min(wanted, end - size)); }

}  // namespace

TPoint ReachablePlace(const TRect& window, const std::vector<TRect>& screens) {
  const TPoint wanted{window.left, window.top};
  if (screens.empty()) return wanted;
  const TRect* nearest = nullptr;
  long long best = std::numeric_limits<long long>::max();
  for (const TRect& screen : screens) {
    if (ReachableOn(window, screen)) return wanted;
    if (const long long distance = DistanceSquared(window, screen); distance < best) {
      best = distance;
      nearest = &screen;
    }
  }
  return {Fit(window.left, window.width, nearest->left, nearest->Right()),
          Fit(window.top, window.height, nearest->top, nearest->Bottom())};
}

TRect LinkPlace(const TRect& own, int clientWidth, int textWidth) {
  const int width = std::min(std::max(own.width, textWidth), clientWidth);
  const int left = std::clamp(own.left + own.width / 2 - width / 2, 0, clientWidth - width);
  return {left, own.top, width, own.height};
}

}  // namespace window_core
