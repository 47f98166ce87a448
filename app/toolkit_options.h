// The options every Qt program takes (-style Fusion, -platform xcb, -reverse,
// -display :1, ...), which QApplication reads itself: the window's own parser
// sees the command line without them.
#pragma once

#include <string>
#include <vector>

// The arguments without Qt's options and their values, up to a "--" that
// ends the options; the program's name first, as given.
std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& arguments);
