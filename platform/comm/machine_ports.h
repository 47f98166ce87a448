// The ports of this machine with their numbers: on POSIX the USB serial
// adapters, numbered for good through `store`; on Windows the COM ports the
// system lists, under the numbers it gave them.
#pragma once

#include <vector>

#include "port_table.h"

namespace platform::ports {

std::vector<PortEntry> MachinePorts(const MachineFolders& folders, NumberStore& store);

}  // namespace platform::ports
