// The settings key on Windows, in the real registry (Wine's under test):
// machine-wide where it may be changed, else the user's own copy, started
// from the machine-wide values.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "registry_file.h"
#include "settings_key.h"
#include "win32.h"
// After windows.h, which it needs.
#include <sddl.h>

namespace {

using platform::registry::OpenSettingsKey;

class SettingsKeyTest : public ::testing::Test {
 protected:
  ~SettingsKeyTest() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, subKey.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str());
  }

  static std::optional<DWORD> Read(HKEY root, const std::string& path, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return value;
  }
  static void Write(HKEY key, const char* name, DWORD value) {
    const auto data = platform::registry::DwordValue(value).data;
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
  }

  // As the window saves: open the settings key, set the value, close.
  void Save(const char* name, DWORD value) {
    HKEY key = nullptr;
    std::string problem;
    std::string where;
    ASSERT_EQ(OpenSettingsKey(subKey.c_str(), key, problem, where), ERROR_SUCCESS) << problem;
    Write(key, name, value);
    RegCloseKey(key);
  }

  const std::string subKey = "Software\\Corvane_Test_" + std::to_string(GetCurrentProcessId());
};

TEST_F(SettingsKeyTest, MachineWideKeyWhereItMayBeChanged) {
  Save("ComPort", 3);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, subKey, "ComPort"), 3u);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, subKey, "ComPort"), std::nullopt);
}

// A machine-wide key that refuses changes: the user's copy takes the save
// and starts from what the machine-wide key holds, which stays as it was.
TEST_F(SettingsKeyTest, UsersOwnCopyWhereTheMachineWideKeyRefusesChanges) {
  HKEY machine = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine,
                            nullptr),
            ERROR_SUCCESS);
  Write(machine, "ComPort", 2);
  Write(machine, "Frequency", 1);
  // Everyone may read the key, and remove it, but nobody may change it.
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSDWD;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                   nullptr));
  ASSERT_EQ(RegSetKeySecurity(machine, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
  LocalFree(readOnly);
  RegCloseKey(machine);

  Save("ComPort", 5);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, subKey, "ComPort"), 5u);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, subKey, "Frequency"), 1u);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, subKey, "ComPort"), 2u);

  // Saved again: into the user's copy as it was left, not a fresh one.
  Save("Xpos", 9);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, subKey, "ComPort"), 5u);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, subKey, "Xpos"), 9u);
}

}  // namespace
