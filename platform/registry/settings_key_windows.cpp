// On Windows the program chooses the user's key itself: Windows redirects
// the machine-wide writes of a legacy 32-bit program to the user's
// VirtualStore, but refuses those of a 64-bit or manifested one, which would
// lose every save.
#include "registry_values_windows.h"
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
  ForEachValue(machine, [userKey](const char* name, DWORD type, const BYTE* data, DWORD size) {
    RegSetValueExA(userKey, name, 0, type, data, size);
  });
  RegCloseKey(machine);
}

}  // namespace

LSTATUS OpenSettingsKey(const char* subKey, HKEY& key, std::string& problem, std::string& where) {
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
  where = "the registry key " + (root + std::string(subKey));
  return status;
}

std::string KeyProblem(LSTATUS status) { return WindowsErrorText(static_cast<DWORD>(status)); }

}  // namespace platform::registry
