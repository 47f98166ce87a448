#include "options.h"

#include <algorithm>
#include <charconv>

#include "command_line.h"
#include "machine_ports.h"

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
  return "Usage: usb-corvane --mode=corvane|smartmouse [OPTION]...\n"
         "       usb-corvane --list-ports [--json]\n"
         "\n"
         "Sets the reader mode, card clock and reset delay of a USB Corvane/SmartMouse\n"
         "interface, as the window does. Option names may be shortened while they stay\n"
         "unambiguous; a value follows the option or an '=' sign.\n"
         "\n"
         "  --mode=corvane|smartmouse  the reader mode to set (required)\n"
         "  --clock=3.58|3.68|6.00     the card clock in MHz (default 3.58)\n"
         "  --reset-delay=on|off       the reset-delay option (default on)\n"
         "  --port=N                   the port as the window numbers it (--list-ports)\n"
         "  --device=PATH              a serial device by its path, e.g. " + std::string(platform::ports::DeviceExample()) + "\n"
         "                             (--port and --device may be repeated: the ports\n"
         "                             are set at the same time)\n"
         "  --all                      every USB serial adapter plugged in, at once\n"
         "  --simulate[=FILE]          a built-in simulated interface for each port\n"
         "                             named (or one), in real time; FILE is an\n"
         "                             optional JSON scenario (- for standard\n"
         "                             input)\n"
         "  --tries=N                  seconds to wait for the card to be taken out\n"
         "                             (default 30)\n"
         "  --trace=FILE               append a time-stamped log of the serial traffic\n"
         "                             (one file per port, named FILE-PORT.EXT)\n"
         "  --list-ports               list the port numbers and their devices\n"
         "  --json                     as JSON, for scripts: the run's outcome on\n"
         "                             standard output (the status lines then go to\n"
         "                             standard error), or the port list\n"
         "  -h, --help                 show this text and exit\n"
         "  -V, --version              show the version and exit\n"
         "\n"
         "Exit status: 0 when every interface was set, 1 when one was not or the\n"
         "output could not be written, 2 on bad arguments, 128 + N when stopped by\n"
         "signal N.\n" +
         command_line::HelpFooter();
}

std::variant<Options, UsageError> ParseOptions(int argc, const char* const* argv) {
  command_line::GnuParser parser;
  for (const char* name : {"list-ports", "json", "all"}) parser.AddFlag(name);
  for (const char* name : {"mode", "clock", "reset-delay", "port", "device", "tries", "trace"}) parser.AddValue(name);
  parser.AddOptionalValue("simulate");
  parser.AddOptionalValue("events");
  if (auto problem = parser.Parse({argv, argv + argc})) return UsageError{*problem};

  Options options;
  if (parser.HelpWanted()) {
    options.action = Options::Action::Help;
    return options;
  }
  if (parser.VersionWanted()) {
    options.action = Options::Action::Version;
    return options;
  }
  if (const auto positional = parser.Positional(); !positional.empty()) {
    return UsageError{"unexpected argument '" + positional.front() + "'"};
  }
  options.json = parser.IsSet("json");
  if (parser.IsSet("list-ports")) {
    options.action = Options::Action::ListPorts;
    return options;
  }

  const auto mode = parser.Value("mode");
  if (!mode) return UsageError{"--mode is missing: corvane or smartmouse"};
  if (*mode == "corvane") {
    options.mode = "Corvane";
  } else if (*mode == "smartmouse") {
    options.mode = "SmartMouse";
  } else {
    return UsageError{"--mode '" + *mode + "' is not one of: corvane, smartmouse"};
  }
  if (const auto clock = parser.Value("clock")) {
    if (*clock != "3.58" && *clock != "3.68" && *clock != "6.00") {
      return UsageError{"--clock '" + *clock + "' is not one of: 3.58, 3.68, 6.00"};
    }
    options.clock = *clock;
  }
  if (const auto delay = parser.Value("reset-delay")) {
    if (*delay != "on" && *delay != "off") return UsageError{"--reset-delay '" + *delay + "' is not one of: on, off"};
    options.resetDelay = *delay == "on";
  }
  for (const std::string& port : parser.Values("port")) {
    const auto number = ToNumber(port);
    if (!number || *number < 1 || *number > 99999999) {
      return UsageError{"--port '" + port + "' is not a port number (1, 2, ... as in --list-ports)"};
    }
    if (std::find(options.ports.begin(), options.ports.end(), *number) != options.ports.end()) {
      return UsageError{"--port " + port + " is given twice"};
    }
    options.ports.push_back(static_cast<unsigned>(*number));
  }
  for (const std::string& device : parser.Values("device")) {
    if (device.empty()) return UsageError{std::string("--device needs a device path such as ") + platform::ports::DeviceExample()};
    if (std::find(options.devices.begin(), options.devices.end(), device) != options.devices.end()) {
      return UsageError{"--device " + device + " is given twice"};
    }
    options.devices.push_back(device);
  }
  options.all = parser.IsSet("all");
  if (const auto tries = parser.Value("tries")) {
    const auto number = ToNumber(*tries);
    if (!number || *number < 0 || *number > 100000) {
      return UsageError{"--tries '" + *tries + "' is not a count from 0 to 100000"};
    }
    options.tries = static_cast<int>(*number);
  }
  options.trace = parser.Value("trace");
  if (options.trace && options.trace->empty()) return UsageError{"--trace needs a file to append the log to"};
  options.simulate = parser.IsSet("simulate");
  options.scenario = parser.Value("simulate");

  options.events = parser.IsSet("events");
  options.command = parser.Value("events");

  const std::size_t named = options.ports.size() + options.devices.size();
  if (named == 0 && !options.all && !options.simulate) {
    return UsageError{"no port given: --port N, --device PATH, --all or --simulate"};
  }
  if (options.all && named > 0) return UsageError{"--all takes every adapter: give it without --port or --device"};
  if (options.events && (options.all || named > 1)) return UsageError{"--events goes with one port"};
  return options;
}

std::vector<std::string> OptionArguments(const Options& options) {
  std::vector<std::string> arguments = {"--mode=" + std::string(options.mode == "Corvane" ? "corvane" : "smartmouse"),
                                        "--clock=" + options.clock,
                                        std::string("--reset-delay=") + (options.resetDelay ? "on" : "off"),
                                        "--tries=" + std::to_string(options.tries)};
  for (const unsigned port : options.ports) arguments.push_back("--port=" + std::to_string(port));
  for (const std::string& device : options.devices) arguments.push_back("--device=" + device);
  if (options.all) arguments.push_back("--all");
  if (options.simulate) arguments.push_back(options.scenario ? "--simulate=" + *options.scenario : "--simulate");
  if (options.trace) arguments.push_back("--trace=" + *options.trace);
  if (options.json) arguments.push_back("--json");
  if (options.events) arguments.push_back(options.command ? "--events=" + *options.command : "--events");
  return arguments;
}

}  // namespace cli
