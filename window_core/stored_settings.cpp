#include "stored_settings.h"

#include <array>

#include "registry_file.h"
#include "settings_key.h"
#include "win32.h"

namespace window_core {
namespace {

constexpr const char* kSettingsKey = "\\Software\\Veltra_Software\\USB_Corvane\\";
constexpr std::int32_t kSettingsVersion = 10;

std::string Format(const char* pattern, const char* name) {
  std::string text = pattern;
  text.replace(text.find("%s"), 2, name);
  return text;
}

// Opens (creating when missing) with full access, as both operations do.
class SettingsKey {
 public:
  // The path without its leading backslash.
  SettingsKey() { status_ = platform::registry::OpenSettingsKey(kSettingsKey + 1, key_, problem_, where_); }
  ~SettingsKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  bool IsOpen() const { return status_ == ERROR_SUCCESS; }
  bool IsDamaged() const { return status_ == ERROR_BADDB; }
  // Another program held the key past the wait.
  bool IsBusy() const { return status_ == ERROR_SHARING_VIOLATION; }
  const std::string& Problem() const { return problem_; }
  // Where it is kept, for a message.
  const std::string& Where() const { return where_; }

  std::optional<std::int32_t> ReadInteger(const char* name) const {
    if (RegQueryValueExA(key_, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return std::nullopt;
    std::array<BYTE, 4> data{};
    DWORD type = REG_NONE;
    DWORD size = data.size();
    if (RegQueryValueExA(key_, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
      throw ERegistryException(Format("Failed to get data for '%s'", name));
    }
    if (type != REG_DWORD) throw ERegistryException(Format("Invalid data type for '%s'", name));
    return static_cast<std::int32_t>(platform::registry::DwordFromBytes(data.data(), size));
  }

  void WriteInteger(const char* name, std::int32_t value) {
    const auto data = platform::registry::DwordValue(static_cast<std::uint32_t>(value)).data;
    if (RegSetValueExA(key_, name, 0, REG_DWORD, data.data(), static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
      throw ERegistryException(Format("Failed to set data for '%s'", name));
    }
  }

  // On POSIX the values are written, whole, when the key is closed. Windows
  // writes each as it is set: a save cut short there leaves the values not
  // yet set as they were, each of them whole.
  void Commit(const char* firstName) {
    const HKEY key = key_;
    key_ = nullptr;
    if (RegCloseKey(key) != ERROR_SUCCESS) {
      // None of the values landed; the first of them names the failure.
      throw ERegistryException(Format("Failed to set data for '%s'", firstName));
    }
  }

 private:
  HKEY key_ = nullptr;
  LSTATUS status_ = ERROR_SUCCESS;
  std::string problem_;
  std::string where_;
};

}  // namespace

TLoadedSettings LoadSettings() {
  TLoadedSettings loaded;
  SettingsKey key;
  // A damaged file is not silently replaced: the start ends with a message
  // that says where it is and what is wrong, so that it can be mended.
  if (key.IsDamaged()) {
    loaded.error = key.Problem();
    return loaded;
  }
  if (key.IsBusy()) loaded.notice = key.Problem() + "; the window starts with its defaults.";
  if (!key.IsOpen()) return loaded;
  TStoredSettings& values = loaded.values;
  try {
    values.ComPort = key.ReadInteger("ComPort");
    values.Xpos = key.ReadInteger("Xpos");
    values.Ypos = key.ReadInteger("Ypos");
    values.Frequency = key.ReadInteger("Frequency");
    values.ResetDelay = key.ReadInteger("ResetDelay");
  } catch (const ERegistryException& error) {
    // The toolkit's line as it is, then where the value is and what helps.
    loaded.error = std::string(error.what()) + "\nin " + key.Where() + ": remove that value, or set it as a number";
  }
  return loaded;
}

void SaveSettings(const TWindowChoices& choices) {
  SettingsKey key;
  // The choices would be lost without a word; the old values stay as they are.
  if (key.IsBusy()) throw ERegistryException("The settings were not saved: " + key.Problem());
  if (!key.IsOpen()) return;
  key.WriteInteger("Version", kSettingsVersion);
  key.WriteInteger("ComPort", choices.portIndex + 1);
  if (choices.left) key.WriteInteger("Xpos", *choices.left);
  if (choices.top) key.WriteInteger("Ypos", *choices.top);
  key.WriteInteger("Frequency", choices.frequencyIndex);
  key.WriteInteger("ResetDelay", choices.resetDelay ? 1 : 0);
  key.Commit("Version");
}

}  // namespace window_core
