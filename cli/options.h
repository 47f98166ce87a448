// The command line of usb-corvane, the GNU way (see command_line.h).
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace cli {

struct Options {
  enum class Action { Configure, ListPorts, Help, Version } action = Action::Configure;
  std::string mode;          // "Corvane" or "SmartMouse"
  std::string clock = "3.58";
  bool resetDelay = true;
  std::vector<unsigned> ports;       // --port, as often as given
  std::vector<std::string> devices;  // --device, likewise
  bool all = false;                  // every USB serial adapter plugged in
  bool simulate = false;             // each port named (or one) gets a simulated interface
  std::optional<std::string> scenario;
  int tries = 30;
  std::optional<std::string> trace;
  bool json = false;  // the outcome, or the port list, as JSON
  // A run for another usb-corvane that runs several: its status and outcome
  // as JSON lines on standard output, and the command it ends with
  // (--events=COMMAND, platform/process/command_watch.h).
  bool events = false;
  std::optional<std::string> command;

  bool operator==(const Options&) const = default;
};

struct UsageError {
  std::string message;
};

std::variant<Options, UsageError> ParseOptions(int argc, const char* const* argv);
// A configuration's options written back as the arguments ParseOptions reads
// as them (the program's own name not among them): how a run is asked of
// another usb-corvane.
std::vector<std::string> OptionArguments(const Options& options);
std::string HelpText();

}  // namespace cli
