// The stored settings: the user's last choices and the window's position, six
// integers under one machine-wide registry key (or the user's own copy, where
// the machine-wide one may not be changed). Read once as the window is made,
// written once as it closes.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

// The error the stored settings raise; its message is shown as it stands.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace window_core {

// What was stored; a value not stored leaves the window's own setting.
struct TStoredSettings {
  std::optional<std::int32_t> ComPort;  // the port list's item index + 1
  std::optional<std::int32_t> Xpos;
  std::optional<std::int32_t> Ypos;
  std::optional<std::int32_t> Frequency;  // the frequency list's item index
  std::optional<std::int32_t> ResetDelay;
};

struct TLoadedSettings {
  TStoredSettings values;  // in reading order, up to a value that could not be read
  // That value's message, where it is and what helps, or a damaged file's:
  // the start ends with it, and the program with status 1.
  std::string error;
  std::string notice;      // for standard error: the key was locked, the window starts with its defaults
};

// What the window holds as it closes.
struct TWindowChoices {
  int portIndex = -1;  // -1: the text shown is no item's
  // The window's place; none where the desktop does not tell a window where
  // it stands (Wayland): the stored edges then stay as they were.
  std::optional<std::int32_t> left;
  std::optional<std::int32_t> top;
  int frequencyIndex = -1;
  bool resetDelay = true;
};

TLoadedSettings LoadSettings();
// Throws ERegistryException when the values cannot be written or the key is
// held by another program; the old values then stay as they were.
void SaveSettings(const TWindowChoices& choices);

}  // namespace window_core
