// The window's command line: --simulate[=FILE], --trace=FILE, --help,
// --version. Started without options, the window is the one of the desktop.
#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <variant>

struct WindowOptions {
  bool simulate = false;                 // every port opens the simulated interface
  std::optional<std::string> scenario;   // its JSON scenario
  std::optional<std::string> trace;      // a file to append the serial traffic to
};

// What to print, and the exit status, instead of showing the window.
struct WindowExit {
  int status = 0;
  std::string out;
  std::string err;
};

std::variant<WindowOptions, WindowExit> ParseWindowOptions(const QStringList& arguments, const std::string& version);
