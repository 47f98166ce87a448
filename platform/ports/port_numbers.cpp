// Where port numbers are remembered: values "COM1", "COM2", ... of the key
// ...\USB_Corvane\Ports, each naming the identity of its adapter.
#include "port_numbers.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "settings_key.h"
#include "win32.h"

namespace platform::ports {

Numbers AssignNumbers(const Numbers& stored, const std::vector<PortEntry>& present) {
  // A former name two adapters could have had belongs to neither.
  std::map<std::string, int> claims;
  for (const PortEntry& adapter : present) {
    const std::set<std::string> names(adapter.formerIdentities.begin(), adapter.formerIdentities.end());
    for (const std::string& former : names) ++claims[former];
  }
  Numbers all = stored;
  for (const PortEntry& adapter : present) {
    const auto& former = adapter.formerIdentities;
    for (auto& [number, identity] : all) {
      if (claims[identity] == 1 && std::find(former.begin(), former.end(), identity) != former.end()) {
        identity = adapter.identity;
      }
    }
  }
  for (const PortEntry& adapter : present) {
    const bool numbered = std::any_of(all.begin(), all.end(), [&](const auto& n) { return n.second == adapter.identity; });
    if (numbered) continue;
    unsigned number = 1;
    while (all.count(number) != 0) ++number;
    all[number] = adapter.identity;
  }
  return all;
}

namespace {

constexpr const char* kPortsKey = "Software\\Veltra_Software\\USB_Corvane\\Ports";

// "COM" and a number from 1 without leading zeros: the names this key holds.
std::optional<unsigned> NumberOfName(const char* name) {
  if (std::strncmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9') return std::nullopt;
  unsigned long long number = 0;
  for (const char* c = name + 3; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(*c - '0');
    if (number > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<unsigned>(number);
}

// Every COMn value must be a text naming an adapter; anything else means the
// key was damaged, and a number read around the damage could name another
// device. Values of other names are no port's and are left alone.
StoredNumbers ReadNumbers(HKEY key) {
  StoredNumbers stored;
  for (DWORD index = 0;; ++index) {
    char name[64];
    DWORD nameSize = sizeof name;
    BYTE data[1024];
    DWORD dataSize = sizeof data;
    DWORD type = REG_NONE;
    const LSTATUS status = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    const bool portName = status == ERROR_SUCCESS ? std::strncmp(name, "COM", 3) == 0 : true;
    if (!portName) continue;
    const auto number = status == ERROR_SUCCESS ? NumberOfName(name) : std::nullopt;
    const auto* text = reinterpret_cast<const char*>(data);
    const std::size_t length = status == ERROR_SUCCESS ? strnlen(text, dataSize) : 0;
    if (!number || type != REG_SZ || length == 0) {
      stored.problem = std::string("the port numbers under HKEY_LOCAL_MACHINE\\") + kPortsKey + " are damaged: " +
                       (status == ERROR_SUCCESS ? "value \"" + std::string(name) + "\" is not a port's adapter"
                                                : std::string("a value cannot be read"));
      stored.numbers.clear();
      return stored;
    }
    stored.numbers[*number] = std::string(text, length);
  }
  return stored;
}

StoredNumbers Unreadable(LSTATUS status) { return {{}, registry::KeyProblem(status)}; }

class RegistryStore final : public NumberStore {
 public:
  StoredNumbers Known() override {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Unreadable(status);
    StoredNumbers known;
    if (status == ERROR_SUCCESS) {
      known = ReadNumbers(key);
      RegCloseKey(key);
    }
    if (known.problem.empty()) {
      for (const auto& [number, identity] : unstored_) known.numbers[number] = identity;
    }
    return known;
  }

  StoredNumbers Remember(const std::vector<PortEntry>& present) override {
    StoredNumbers known = Known();
    if (!known.problem.empty() || AssignNumbers(known.numbers, present) == known.numbers) return known;
    // Read again under the key's lock, so that two programs never give one
    // number to two adapters.
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
      StoredNumbers stored = ReadNumbers(key);
      if (!stored.problem.empty()) {
        RegCloseKey(key);
        return stored;
      }
      const Numbers all = AssignNumbers(stored.numbers, present);
      for (const auto& [number, identity] : all) {
        const auto before = stored.numbers.find(number);
        if (before != stored.numbers.end() && before->second == identity) continue;
        const std::string name = "COM" + std::to_string(number);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(identity.c_str()),
                       static_cast<DWORD>(identity.size() + 1));
      }
      if (RegCloseKey(key) == ERROR_SUCCESS) return {all, {}};
    } else if (status != ERROR_ACCESS_DENIED) {
      return Unreadable(status);  // damaged, or locked past the wait
    }
    // Nowhere to remember them: the numbers hold for this run.
    unstored_ = AssignNumbers(known.numbers, present);
    return {unstored_, {}};
  }

 private:
  Numbers unstored_;
};

class MemoryStore final : public NumberStore {
 public:
  StoredNumbers Known() override { return {numbers_, {}}; }
  StoredNumbers Remember(const std::vector<PortEntry>& present) override {
    numbers_ = AssignNumbers(numbers_, present);
    return {numbers_, {}};
  }

 private:
  Numbers numbers_;
};

}  // namespace

std::shared_ptr<NumberStore> RegistryNumberStore() { return std::make_shared<RegistryStore>(); }
std::shared_ptr<NumberStore> MemoryNumberStore() { return std::make_shared<MemoryStore>(); }

}  // namespace platform::ports
