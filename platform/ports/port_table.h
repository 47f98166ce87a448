// Which device a port number ("COM3") opens on this machine: an explicit
// mapping (a device path or a simulated endpoint) first, else the machine's
// numbered ports. A number whose adapter is absent opens nothing, and so does
// every machine number while the stored numbers cannot be read. Built-in
// lines get no number (one is often the console); they stay reachable by
// path. Tests switch the machine's devices off so that only what they map
// can open.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "comm_device.h"
#include "machine_ports.h"
#include "port_entry.h"
#include "port_name.h"
#include "port_numbers.h"

namespace platform::ports {

// The explicit map is part of the installed record (services.h): a scope
// that installs a record of its own puts the map back as it was at its end.
void MapDevice(unsigned number, std::string devicePath);
void MapEndpoint(unsigned number, std::shared_ptr<CommEndpoint> endpoint);
void Unmap(unsigned number);
void UnmapAll();

// Makes the endpoint of a real line from its device path: the comm layer's,
// handed down, since the table sits below it.
using LineMaker = std::shared_ptr<CommEndpoint> (*)(std::string devicePath);

// The endpoint behind a number, or null when none is (or its adapter is
// absent): a mapped endpoint as it is, a device path through `makeLine`.
std::shared_ptr<CommEndpoint> Resolve(unsigned number, LineMaker makeLine);
std::optional<PortEntry> Describe(unsigned number);
// Every number that is mapped or known, present or not, in number order; and
// why the machine's ports have no numbers, when the stored ones cannot be read.
PortList List();

}  // namespace platform::ports
