#include "run_targets.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

namespace cli {
namespace {

// The last component of a path, with either separator.
std::string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TraceTag(const RunTarget& target) {
  if (target.port) return std::to_string(*target.port);
  const std::string name = FileName(target.device);
  return name.empty() ? "port" : name;
}

}  // namespace

std::string RunTarget::Label() const {
  if (port) return "port " + std::to_string(*port);
  return device;
}

std::vector<RunTarget> TargetsOf(const Options& options, const platform::ports::PortList& machine) {
  std::vector<RunTarget> targets;
  if (options.all) {
    for (const platform::ports::PortEntry& entry : machine.ports) {
      // Windows lists its built-in COM ports too; an adapter has USB ids.
      if (entry.present && !entry.usbVendorId) continue;
      RunTarget target;
      if (entry.number != 0) target.port = entry.number;
      target.device = entry.present ? entry.device : "";
      target.identity = entry.identity;
      target.absent = !entry.present;
      targets.push_back(target);
    }
    return targets;
  }
  for (const unsigned port : options.ports) targets.push_back({port, "", "", false});
  for (const std::string& device : options.devices) targets.push_back({std::nullopt, device, "", false});
  if (targets.empty() && options.simulate) targets.push_back({});
  return targets;
}

std::vector<std::string> TraceFilesFor(const std::string& trace, const std::vector<RunTarget>& targets) {
  const std::size_t nameStart = trace.find_last_of("/\\") == std::string::npos ? 0 : trace.find_last_of("/\\") + 1;
  std::size_t dot = trace.rfind('.');
  // A dot that starts the name (".log") or stands in a folder's name is no extension.
  if (dot == std::string::npos || dot <= nameStart) dot = trace.size();
  // Compared without case: Windows' file names are.
  const auto folded = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
  };
  std::set<std::string> own;  // each target's own tag, which no index may take
  for (const RunTarget& target : targets) own.insert(folded(TraceTag(target)));
  std::set<std::string> taken;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    // Two devices of one name in different folders: the later one gets its
    // place in the command, or the next number that is no other's name.
    const std::string base = TraceTag(targets[i]);
    const auto free = [&](const std::string& tag) {
      return taken.count(folded(tag)) == 0 && (tag == base || own.count(folded(tag)) == 0);
    };
    std::string tag = base;
    for (std::size_t index = i + 1; !free(tag); ++index) tag = base + "-" + std::to_string(index);
    taken.insert(folded(tag));
    files.push_back(trace.substr(0, dot) + "-" + tag + trace.substr(dot));
  }
  return files;
}

std::vector<std::string> RunArguments(const Options& options, const RunTarget& target, const std::string& traceFile,
                                      const std::string& command) {
  Options run = options;
  run.ports.clear();
  run.devices.clear();
  run.all = false;
  run.json = false;
  // A path from --all is the adapter as it is plugged in now; the run need
  // not number it again.
  if (!target.device.empty()) {
    run.devices.push_back(target.device);
  } else if (target.port) {
    run.ports.push_back(*target.port);
  }
  run.trace = traceFile.empty() ? std::nullopt : std::optional<std::string>(traceFile);
  run.events = true;
  run.command = command.empty() ? std::nullopt : std::optional<std::string>(command);
  return OptionArguments(run);
}

}  // namespace cli
