#include "options.h"

#include <charconv>
#include <vector>

namespace cli {
namespace {

std::optional<long long> ToNumber(const std::string& text) {
  long long value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string HelpText() {
  return
      "Usage: usb-corvane --mode corvane|smartmouse [options]\n"
      "       usb-corvane --list-ports\n"
      "\n"
      "Sets the reader mode, card clock and reset delay of a USB Corvane/SmartMouse\n"
      "interface, as the window does.\n"
      "\n"
      "  --mode corvane|smartmouse  the reader mode to set (required)\n"
      "  --clock 3.58|3.68|6.00     the card clock in MHz (default 3.58)\n"
      "  --reset-delay on|off       the reset-delay option (default on)\n"
      "  --port N                   the port as the window numbers it (see --list-ports)\n"
      "  --device PATH              a serial device by its path, e.g. /dev/ttyUSB0\n"
      "  --simulate [FILE]          run against the built-in simulated interface, in real\n"
      "                             time; FILE is an optional JSON scenario\n"
      "  --tries N                  seconds to wait for the card to be taken out (default 30)\n"
      "  --trace FILE               append a time-stamped log of the serial traffic to FILE\n"
      "  --list-ports               list the ports and the devices behind them\n"
      "  --help                     show this text\n"
      "  --version                  show the version\n"
      "\n"
      "Exit status: 0 when the interface was set, 1 when it was not, 2 on bad arguments.\n";
}

std::variant<Options, UsageError> ParseOptions(int argc, const char* const* argv) {
  Options options;
  std::vector<std::string> args(argv + 1, argv + argc);
  bool sawMode = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::optional<UsageError> missing;
    auto take = [&](std::string& out, const char* accepted) {
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
        missing = UsageError{arg + " needs a value: " + accepted};
        return false;
      }
      out = args[++i];
      return true;
    };

    if (arg == "--help" || arg == "-h") {
      options.action = Options::Action::Help;
      return options;
    } else if (arg == "--version") {
      options.action = Options::Action::Version;
      return options;
    } else if (arg == "--list-ports") {
      options.action = Options::Action::ListPorts;
    } else if (arg == "--mode") {
      std::string mode;
      if (!take(mode, "corvane or smartmouse")) return *missing;
      if (mode == "corvane") {
        options.mode = "Corvane";
      } else if (mode == "smartmouse") {
        options.mode = "SmartMouse";
      } else {
        return UsageError{"--mode '" + mode + "' is not one of: corvane, smartmouse"};
      }
      sawMode = true;
    } else if (arg == "--clock") {
      std::string clock;
      if (!take(clock, "3.58, 3.68 or 6.00")) return *missing;
      if (clock != "3.58" && clock != "3.68" && clock != "6.00") {
        return UsageError{"--clock '" + clock + "' is not one of: 3.58, 3.68, 6.00"};
      }
      options.clock = clock;
    } else if (arg == "--reset-delay") {
      std::string delay;
      if (!take(delay, "on or off")) return *missing;
      if (delay != "on" && delay != "off") return UsageError{"--reset-delay '" + delay + "' is not one of: on, off"};
      options.resetDelay = delay == "on";
    } else if (arg == "--port") {
      std::string port;
      if (!take(port, "a port number from 1")) return *missing;
      const auto number = ToNumber(port);
      if (!number || *number < 1 || *number > 99999999) {
        return UsageError{"--port '" + port + "' is not a port number (1, 2, ... as in --list-ports)"};
      }
      options.port = static_cast<unsigned>(*number);
    } else if (arg == "--device") {
      std::string device;
      if (!take(device, "a device path such as /dev/ttyUSB0")) return *missing;
      options.device = device;
    } else if (arg == "--tries") {
      std::string tries;
      if (!take(tries, "a count from 0")) return *missing;
      const auto number = ToNumber(tries);
      if (!number || *number < 0 || *number > 100000) {
        return UsageError{"--tries '" + tries + "' is not a count from 0 to 100000"};
      }
      options.tries = static_cast<int>(*number);
    } else if (arg == "--trace") {
      std::string trace;
      if (!take(trace, "a file to append the log to")) return *missing;
      options.trace = trace;
    } else if (arg == "--simulate") {
      options.simulate = true;
      if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) options.scenario = args[++i];
    } else {
      return UsageError{"unknown argument '" + arg + "' (see --help)"};
    }
  }
  if (options.action == Options::Action::ListPorts) return options;
  if (!sawMode) return UsageError{"--mode is missing: corvane or smartmouse"};
  const int targets = options.port.has_value() + options.device.has_value() + options.simulate;
  if (targets == 0) return UsageError{"no port given: --port N, --device PATH or --simulate"};
  if (targets > 1) return UsageError{"give only one of --port, --device and --simulate"};
  return options;
}

}  // namespace cli
