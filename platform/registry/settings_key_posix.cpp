// On POSIX the registry calls themselves fall back to the user's folder (as
// Windows redirects a legacy program's machine-wide writes), and know in
// detail what went wrong.
#include "quoted_name.h"
#include "registry.h"
#include "settings_key.h"

namespace platform::registry {

LSTATUS OpenSettingsKey(const char* subKey, HKEY& key, std::string& problem, std::string& where) {
  key = nullptr;
  const LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) problem = KeyProblem(status);
  if (status == ERROR_SUCCESS) where = "the settings file " + QuotedName(KeyFileOf(key));
  return status;
}

std::string KeyProblem(LSTATUS status) {
  const std::string problem = LastProblem();
  return problem.empty() ? "the registry refused with code " + std::to_string(status) : problem;
}

}  // namespace platform::registry
