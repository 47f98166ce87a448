// --list-ports: every known port number with what is behind it, for people
// (a table) and for scripts (JSON).
#pragma once

#include <string>
#include <vector>

#include "port_table.h"

namespace cli {

std::string PortsAsText(const std::vector<platform::ports::PortEntry>& ports);
std::string PortsAsJson(const std::vector<platform::ports::PortEntry>& ports);

}  // namespace cli
