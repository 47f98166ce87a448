// Where the numbers of the USB serial adapters are remembered, and how a
// newcomer gets one. As Windows keeps COM numbers, an adapter takes the lowest
// free number the first time it is seen and keeps it for good. Stored numbers
// that cannot be read give no numbers at all: a guess could hand an absent
// adapter's number to another device.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "port_entry.h"

namespace platform::ports {

using Numbers = std::map<unsigned, std::string>;  // number -> identity

struct StoredNumbers {
  Numbers numbers;
  std::string problem;  // why the store cannot be read; `numbers` is then empty
};

class NumberStore {
 public:
  virtual ~NumberStore() = default;
  virtual StoredNumbers Known() = 0;
  // Numbers the adapters plugged in now (AssignNumbers), remembers what
  // changed, returns all numbers.
  virtual StoredNumbers Remember(const std::vector<PortEntry>& present) = 0;
};

// The store under the settings key; it keeps numbers in memory for this run
// when neither the machine-wide nor the per-user copy can be written.
std::shared_ptr<NumberStore> RegistryNumberStore();
std::shared_ptr<NumberStore> MemoryNumberStore();

// All numbers once the adapters `present` are numbered: a number stored under
// an adapter's former identity is renamed to its identity (unless that name
// fits two adapters), and an adapter without a number gets the lowest free
// one, in the order given.
Numbers AssignNumbers(const Numbers& stored, const std::vector<PortEntry>& present);

}  // namespace platform::ports
