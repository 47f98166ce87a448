// Who else holds a serial device: a UUCP lock file of a live process, or a
// process that simply has the device open.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::comm {

struct Holder {
  long pid = 0;
  std::string name;      // the program's name, when it can be read
  std::string lockFile;  // the lock file that names it, if that is how it was found
};

// The live process a lock file names for the device. A lock file of a process
// that has ended is stale: it names nobody and is left as it is.
std::optional<Holder> LockFileHolder(const std::string& devicePath);
// Another process that has the device open. Only processes this user may
// inspect are seen (all of them for root).
std::optional<Holder> ProcessHolding(dev_t device);

}  // namespace platform::comm
