// Colours that stay readable on any theme: the status line keeps its
// backgrounds (lime, red, yellow, button face) and takes black or white text,
// whichever stands out more; the link keeps navy where navy reads, and takes
// the theme's link colour where it does not (a dark theme).
#pragma once

#include "Usb_corvaneinterface.h"

namespace window_core {

inline constexpr TColor clNavy{0, 0, 128};
// WCAG AA's least contrast for text.
inline constexpr double kReadableContrast = 4.5;

// The contrast ratio of two colours, from 1 (none) to 21 (black on white).
double Contrast(TColor a, TColor b);
// Black or white, whichever has the higher contrast on `background`.
TColor TextColorOn(TColor background);
// Navy when it reads on `background`, else `themeLink` when that reads, else
// plain text colour.
TColor LinkColorOn(TColor background, TColor themeLink);

}  // namespace window_core
