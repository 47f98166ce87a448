// The window's start-up: its command line (--simulate[=FILE], --trace=FILE,
// --help, --version) and, for --simulate, the simulated interface behind
// every port of its list. Started without options, the window is the one of
// the desktop.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "log.h"
#include "services.h"

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

// The arguments start with the program's name.
std::variant<WindowOptions, WindowExit> ParseWindowOptions(const std::vector<std::string>& arguments,
                                                           const std::string& version);

namespace window_core {

// Every number of the list, and a typed name (0), opens one simulated
// interface that plays `options.scenario`; returns what is wrong with it.
std::optional<std::string> Simulate(const WindowOptions& options);
// With --simulate, Simulate; false after saying on standard error what is
// wrong with the scenario: the program then ends with 2.
bool SimulateAsAsked(const WindowOptions& options);

// The traffic log --trace asks for, from its start to the window's end, when
// it says on standard error why it could not be written, if it could not.
// Started after the window's construction, which switches the log off.
class TWindowTrace {
 public:
  explicit TWindowTrace(const WindowOptions& options);
  ~TWindowTrace();
  TWindowTrace(const TWindowTrace&) = delete;
  TWindowTrace& operator=(const TWindowTrace&) = delete;

 private:
  std::optional<TTrace> trace_;
};

// What the window changes in the services it starts with (the system's own,
// or a test's): `pump` runs its messages while a run waits, and with
// --simulate no machine port opens at all.
void AddWindowServices(platform::Services& services, const WindowOptions& options, platform::MessagePump& pump);

}  // namespace window_core
