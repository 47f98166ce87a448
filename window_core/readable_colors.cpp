#include "readable_colors.h"

#include <algorithm>
#include <cmath>

namespace window_core {
namespace {

// Relative luminance of an sRGB colour.
double Luminance(TColor c) {
  auto linear = [](std::uint8_t channel) {
    const double v = channel / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

constexpr TColor kBlack{0, 0, 0};
constexpr TColor kWhite{255, 255, 255};

}  // namespace

double Contrast(TColor a, TColor b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor TextColorOn(TColor background) {
  return Contrast(kBlack, background) >= Contrast(kWhite, background) ? kBlack : kWhite;
}

TColor LinkColorOn(TColor background, TColor themeLink) {
  if (Contrast(clNavy, background) >= kReadableContrast) return clNavy;
  if (Contrast(themeLink, background) >= kReadableContrast) return themeLink;
  return TextColorOn(background);
}

}  // namespace window_core
