// A run's outcome as data (--json): one JSON object per port in an array, so
// that a script reads what happened instead of the status lines.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "Usb_corvaneinterface.h"

namespace cli {

struct RunReport {
  std::optional<unsigned> port;  // the number given with --port
  std::string device;            // what the port opened, or would have
  std::string identity;          // the adapter behind a port number, when known
  std::string mode;
  std::string clock;
  bool resetDelay = true;
  TRunOutcome outcome;
  // How the run ended: through to its outcome, stopped by a signal, never
  // started, or died without saying its outcome.
  enum class Ending { Ran, Stopped, NotStarted, Died } ending = Ending::Ran;
  std::chrono::system_clock::time_point started, ended;
  std::string explanation;  // said instead of the outcome's, for a port never run

  bool Set() const { return ending == Ending::Ran && outcome.result == TRunOutcome::Result::Succeeded; }
};

// "[{...}]\n": port, device, identity, mode, clock, reset_delay, result ("set",
// "not opened", "card not removed", "not acknowledged", "stopped", "not
// started", "failed"),
// failed_step, firmware, explanation, started, ended (UTC, ISO 8601); null
// where a field has no value.
std::string RunReportsAsJson(const RunReport& report);
// The one object, for an array of several ports' reports.
nlohmann::ordered_json RunReportObject(const RunReport& report);

// The report that RunReportObject gave, read back (the command that runs
// several reads its runs' so); nothing for an object that is none. Its
// explanation is the one the object says.
std::optional<RunReport> RunReportFrom(const nlohmann::ordered_json& object);

// Why the port was not set, in one sentence, the same for one port or
// several: the report's explanation, else the outcome's, else, for a card
// left in the slot, how long it was waited for. Empty when none applies.
std::string WhyNotSet(const RunReport& report, int tries);

// A step as the report names it ("card wait"), and back; null and nothing
// for Done.
nlohmann::ordered_json StepName(TRunOutcome::Step step);
std::optional<TRunOutcome::Step> StepNamed(const std::string& name);

}  // namespace cli
