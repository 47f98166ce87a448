// The stored settings: the user's last choices and the window's position, six
// integers under one machine-wide registry key (or the user's own copy, where
// the machine-wide one may not be changed).
#include <QCheckBox>
#include <QComboBox>
#include <QScreen>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>

#include "Unit1.h"
#include "port_box.h"
#include "registry_file.h"
#include "settings_key.h"
#include "win32.h"

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
  SettingsKey() { status_ = platform::registry::OpenSettingsKey(kSettingsKey + 1, key_, problem_); }
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
};

void SelectItem(QComboBox& box, std::int32_t index) {
  // No range check: an index naming no item leaves none selected, text empty.
  if (index >= 0 && index < box.count()) {
    box.setCurrentIndex(index);
  } else {
    box.setCurrentIndex(-1);
    box.setEditText(QString());
  }
}

}  // namespace

// Where the window stands when no position is stored and the desktop has not
// placed it: centred on the screen. An edge stored alone keeps the other here.
QPoint TForm1::DefaultPlace() const {
  const QRect screenArea = screen()->availableGeometry();
  return screenArea.center() - QPoint(width() / 2, height() / 2);
}

void TForm1::LoadSettings() {
  SettingsKey key;
  // A damaged file is not silently replaced: the start ends with a message
  // that says where it is and what is wrong, so that it can be mended.
  if (key.IsDamaged()) throw ERegistryException(key.Problem());
  if (key.IsBusy()) {
    std::fprintf(stderr, "usb-corvane-config: %s; the window starts with its defaults.\n", key.Problem().c_str());
  }
  if (!key.IsOpen()) return;
  if (auto port = key.ReadInteger("ComPort")) SelectItem(*Port, *port - 1);
  // Each edge applies on its own; one not stored keeps its default place.
  const QPoint place = DefaultPlace();
  const auto left = key.ReadInteger("Xpos");
  if (left) move(*left, place.y());
  if (auto top = key.ReadInteger("Ypos")) move(left.value_or(place.x()), *top);
  if (auto frequency = key.ReadInteger("Frequency")) SelectItem(*Frequency, *frequency);
  if (auto resetDelay = key.ReadInteger("ResetDelay")) EnableResetDelay->setChecked(*resetDelay != 0);
}

void TForm1::SaveSettings() {
  ++settingsSaves_;
  SettingsKey key;
  // The choices would be lost without a word; the old values stay as they are.
  if (key.IsBusy()) throw ERegistryException("The settings were not saved: " + key.Problem());
  if (!key.IsOpen()) return;
  key.WriteInteger("Version", kSettingsVersion);
  key.WriteInteger("ComPort", ItemIndex(*Port) + 1);
  key.WriteInteger("Xpos", x());
  key.WriteInteger("Ypos", y());
  key.WriteInteger("Frequency", ItemIndex(*Frequency));
  key.WriteInteger("ResetDelay", EnableResetDelay->isChecked() ? 1 : 0);
  key.Commit("Version");
}
