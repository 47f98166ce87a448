// On Windows the program chooses the user's key itself: Windows redirects
// the machine-wide writes of a legacy 32-bit program to the user's
// VirtualStore, but refuses those of a 64-bit or manifested one, which would
// lose every save.
#include <vector>

#include "settings_key.h"
#include "windows_errors.h"

namespace platform::registry {
namespace {

LSTATUS Create(HKEY root, const char* subKey, HKEY& key, DWORD& disposition) {
  return RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                         &disposition);
}

// A new user key starts with the machine-wide values, where they can be read.
void CopyMachineValues(const char* subKey, HKEY userKey) {
  HKEY machine = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &machine) != ERROR_SUCCESS) return;
  std::vector<char> name(256);
  std::vector<BYTE> data(4096);
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const LSTATUS status =
        RegEnumValueA(machine, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    // The settings are small integers; anything larger is not ours to copy.
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;  // the end, or a key that cannot be read on
    RegSetValueExA(userKey, name.data(), 0, type, data.data(), dataSize);
  }
  RegCloseKey(machine);
}

}  // namespace

LSTATUS OpenSettingsKey(const char* subKey, HKEY& key, std::string& problem) {
  key = nullptr;
  DWORD disposition = 0;
  const char* root = "HKEY_LOCAL_MACHINE\\";
  LSTATUS status = Create(HKEY_LOCAL_MACHINE, subKey, key, disposition);
  if (status == ERROR_ACCESS_DENIED) {
    root = "HKEY_CURRENT_USER\\";
    status = Create(HKEY_CURRENT_USER, subKey, key, disposition);
    if (status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY) CopyMachineValues(subKey, key);
  }
  if (status != ERROR_SUCCESS) {
    key = nullptr;
    problem = root + std::string(subKey) + ": " + WindowsErrorText(static_cast<DWORD>(status));
  }
  return status;
}

}  // namespace platform::registry
