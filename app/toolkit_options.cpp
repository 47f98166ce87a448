#include "toolkit_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// QGuiApplication's, QApplication's and the X11 platform's, by name; Qt takes
// each with one dash or two.
constexpr std::array<std::string_view, 20> kWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowtitle", "qwindowicon",
    "session",  "display",            "geometry",      "title",  "icon",            "name",         "style",
    "stylesheet", "visual",           "ncols",         "cmap",   "qmljsdebugger",   "fontengine"};
constexpr std::array<std::string_view, 6> kFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

template <std::size_t N>
bool Listed(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& arguments) {
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {  // what follows is no option
      kept.insert(kept.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
      break;
    }
    if (i == 0 || argument.size() < 2 || argument[0] != '-') {
      kept.push_back(argument);
      continue;
    }
    std::string_view name(argument);
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    const std::size_t equals = name.find('=');
    if (Listed(kFlags, name)) continue;
    if (Listed(kWithValue, name.substr(0, equals))) {
      if (equals == std::string_view::npos) ++i;  // its value is the next argument
      continue;
    }
    kept.push_back(argument);
  }
  return kept;
}
