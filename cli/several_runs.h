// Runs on several ports at once, each in a process of its own (`program`
// with --events), so that one port's fault, hang-up or stop never reaches
// another's and the process-wide state of a run stays as one run has it.
// Ctrl-C stops them all, each unwinding as a single run does.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "run_targets.h"

namespace cli {

// Shows their status on `out` (`err` with --json, when `out` carries the
// reports), then a summary. The text of --simulate's scenario, read once, is
// handed to every run. Returns 0 when every port was set, 1 otherwise; ends
// the program by the stop's signal when stopped.
int RunSeveralPorts(const Options& options, const std::vector<RunTarget>& targets, const std::string& program,
                    const std::optional<std::string>& scenario, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace cli
