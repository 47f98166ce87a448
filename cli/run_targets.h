// The ports one command sets: those named with --port and --device, every
// adapter with --all, or one simulated interface; and how a run on one of
// them is asked of another usb-corvane process.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "port_entry.h"

namespace cli {

struct RunTarget {
  std::optional<unsigned> port;  // its number, when it has one
  std::string device;            // the path to open; empty when the run looks the number up
  std::string identity;          // the adapter's, when known
  bool absent = false;           // remembered, not plugged in: reported, never opened

  // How the user sees it named: "port 3", or the device's path.
  std::string Label() const;
};

// The adapters of `machine` are read only for --all: each USB adapter plugged
// in, by the path it has now, and each one remembered but absent.
std::vector<RunTarget> TargetsOf(const Options& options, const platform::ports::PortList& machine);

// --trace's file for each target, the port's number or device name before the
// extension ("run.log" -> "run-3.log", "run-ttyUSB0.log"), never one file for
// two targets.
std::vector<std::string> TraceFilesFor(const std::string& trace, const std::vector<RunTarget>& targets);

// The arguments of a run on `target` alone, its status and outcome as JSON
// lines, ending with `command` (--events=COMMAND; none when empty).
std::vector<std::string> RunArguments(const Options& options, const RunTarget& target, const std::string& traceFile,
                                      const std::string& command);

}  // namespace cli
