// Where port numbers are remembered: values "COM1", "COM2", ... of the key
// ...\USB_Corvane\Ports, each naming the identity of its adapter.
#include <cstdlib>
#include <cstring>

#include "port_table.h"
#include "win32.h"

namespace platform::ports {
namespace {

constexpr const char* kPortsKey = "Software\\Veltra_Software\\USB_Corvane\\Ports";

std::map<unsigned, std::string> ReadNumbers(HKEY key) {
  std::map<unsigned, std::string> numbers;
  for (DWORD index = 0;; ++index) {
    char name[64];
    DWORD nameSize = sizeof name;
    BYTE data[1024];
    DWORD dataSize = sizeof data;
    DWORD type = REG_NONE;
    const LSTATUS status = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ || std::strncmp(name, "COM", 3) != 0) continue;
    char* end = nullptr;
    const unsigned long number = std::strtoul(name + 3, &end, 10);
    if (*end != '\0' || number == 0 || number > 0xFFFFFFFFul) continue;
    const auto* text = reinterpret_cast<const char*>(data);
    numbers[static_cast<unsigned>(number)] = std::string(text, strnlen(text, dataSize));
  }
  return numbers;
}

class RegistryStore final : public NumberStore {
 public:
  std::map<unsigned, std::string> Known() override {
    std::map<unsigned, std::string> numbers;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      numbers = ReadNumbers(key);
      RegCloseKey(key);
    }
    numbers.insert(unstored_.begin(), unstored_.end());
    return numbers;
  }

  std::map<unsigned, std::string> Remember(const std::vector<std::string>& identities) override {
    std::map<unsigned, std::string> known = Known();
    if (NumberNewIdentities(known, identities).empty()) return known;
    // Read again under the key's lock, so that two programs never give one
    // number to two adapters.
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      std::map<unsigned, std::string> stored = ReadNumbers(key);
      const auto given = NumberNewIdentities(stored, identities);
      for (const auto& [number, identity] : given) {
        const std::string name = "COM" + std::to_string(number);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(identity.c_str()),
                       static_cast<DWORD>(identity.size() + 1));
      }
      if (RegCloseKey(key) == ERROR_SUCCESS) {
        stored.insert(given.begin(), given.end());
        return stored;
      }
    }
    // Nowhere to remember them: the numbers hold for this run.
    const auto given = NumberNewIdentities(known, identities);
    unstored_.insert(given.begin(), given.end());
    known.insert(given.begin(), given.end());
    return known;
  }

 private:
  std::map<unsigned, std::string> unstored_;
};

class MemoryStore final : public NumberStore {
 public:
  std::map<unsigned, std::string> Known() override { return numbers_; }
  std::map<unsigned, std::string> Remember(const std::vector<std::string>& identities) override {
    const auto given = NumberNewIdentities(numbers_, identities);
    numbers_.insert(given.begin(), given.end());
    return numbers_;
  }

 private:
  std::map<unsigned, std::string> numbers_;
};

}  // namespace

std::shared_ptr<NumberStore> RegistryNumberStore() { return std::make_shared<RegistryStore>(); }
std::shared_ptr<NumberStore> MemoryNumberStore() { return std::make_shared<MemoryStore>(); }

}  // namespace platform::ports
