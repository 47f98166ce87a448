// The registry calls over key files. Opening a key takes a lock between
// processes and reads the file; values set are written, whole, when the key is
// closed: to a temporary file, flushed, then renamed over the old one. So a
// crash leaves the old or the new file, and two programs never mix.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
#include <unistd.h>
#include <vector>

#include "file_lock.h"
#include "registry.h"
#include "registry_file.h"
#include "win32.h"

struct HKEY__ {
  std::string filePath;
  std::unique_ptr<platform::FileLock> lock;
  platform::registry::KeyFile content;
  bool dirty = false;
  bool readOnly = false;  // opened by RegOpenKeyExA: read without a lock, never written
};

namespace platform::registry {
namespace {

using platform::FileLock;

struct Locations {
  std::string machine;
  std::string user;
  std::string lastProblem;
  bool failCommits = false;
};

Locations& State() {
  static Locations locations;
  return locations;
}

std::set<HKEY>& LiveKeys() {
  static std::set<HKEY> keys;
  return keys;
}

enum class OpenResult { Opened, Refused, Damaged, Busy };

bool SafeComponent(const std::string& part) {
  if (part.empty() || part == "." || part == "..") return false;
  for (char c : part) {
    if (c == '/' || c == '\0' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool SplitKeyPath(const char* subKey, std::vector<std::string>& parts) {
  if (subKey == nullptr) return false;
  std::string part;
  for (const char* c = subKey;; ++c) {
    if (*c == '\\' || *c == '\0') {
      if (!part.empty()) {
        if (!SafeComponent(part)) return false;
        parts.push_back(part);
      }
      part.clear();
      if (*c == '\0') break;
    } else {
      part += *c;
    }
  }
  return !parts.empty();
}

std::string Join(const std::vector<std::string>& parts, char separator) {
  std::string joined;
  for (const auto& part : parts) {
    if (!joined.empty()) joined += separator;
    joined += part;
  }
  return joined;
}

std::string KeyFilePath(const std::string& folder, const std::string& hive, const std::vector<std::string>& parts) {
  return folder + "/" + hive + "/" + Join(parts, '/') + ".reg";
}

enum class LoadResult { Missing, Unreadable, Damaged, Loaded };

// Reads and parses a key file; `problem` says what is wrong when it is not Loaded.
LoadResult LoadKeyFile(const std::string& path, KeyFile& key, std::string& problem) {
  QFile file(QString::fromStdString(path));
  if (!file.exists()) return LoadResult::Missing;
  if (!file.open(QIODevice::ReadOnly)) {
    problem = "cannot read " + path;
    return LoadResult::Unreadable;
  }
  const QByteArray bytes = file.read(static_cast<qint64>(kMaxKeyFileSize) + 1);
  if (auto error = ParseKeyFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), key)) {
    problem = "The settings file " + path + " is damaged" +
              (error->line > 0 ? " (line " + std::to_string(error->line) + ")" : std::string()) + ": " +
              error->message;
    return LoadResult::Damaged;
  }
  return LoadResult::Loaded;
}

bool WriteKeyFile(const std::string& path, const KeyFile& key) {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  const std::string text = FormatKeyFile(key);
  if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
    file.cancelWriting();
    return false;
  }
  return file.commit();  // flushes and renames over the old file
}

bool FolderWritable(const QString& folder) {
  return QDir().mkpath(folder) && access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

OpenResult OpenAt(const std::string& folder, const std::string& hive, const std::vector<std::string>& parts,
                  const KeyFile* seed, std::unique_ptr<HKEY__>& key, DWORD& disposition) {
  const std::string path = KeyFilePath(folder, hive, parts);
  const QString filePath = QString::fromStdString(path);
  if (!FolderWritable(QFileInfo(filePath).absolutePath())) return OpenResult::Refused;
  if (QFileInfo::exists(filePath) && access(path.c_str(), R_OK | W_OK) != 0) return OpenResult::Refused;

  auto lock = std::make_unique<FileLock>();
  switch (lock->Acquire(path + ".lock", kLockWaitMs)) {
    case FileLock::Result::Locked: break;
    case FileLock::Result::Refused: return OpenResult::Refused;
    case FileLock::Result::TimedOut:
      State().lastProblem = "another program holds the settings in " + path;
      return OpenResult::Busy;
  }

  auto opened = std::make_unique<HKEY__>();
  opened->filePath = path;
  opened->content.path = hive + "\\" + Join(parts, '\\');
  KeyFile stored;
  std::string problem;
  switch (LoadKeyFile(path, stored, problem)) {
    case LoadResult::Loaded:
      opened->content.values = std::move(stored.values);
      disposition = REG_OPENED_EXISTING_KEY;
      break;
    case LoadResult::Missing:
      if (seed != nullptr) opened->content.values = seed->values;
      if (!WriteKeyFile(path, opened->content)) return OpenResult::Refused;
      disposition = REG_CREATED_NEW_KEY;
      break;
    case LoadResult::Unreadable:
      State().lastProblem = problem;
      return OpenResult::Refused;
    case LoadResult::Damaged:
      State().lastProblem = problem;
      return OpenResult::Damaged;
  }
  opened->lock = std::move(lock);
  key = std::move(opened);
  return OpenResult::Opened;
}

// The machine-wide values, when they can be read, to start a per-user copy from.
std::optional<KeyFile> ReadMachineCopy(const std::string& hive, const std::vector<std::string>& parts) {
  KeyFile key;
  std::string problem;
  if (LoadKeyFile(KeyFilePath(MachineFolder(), hive, parts), key, problem) != LoadResult::Loaded) return std::nullopt;
  return key;
}

LSTATUS ToStatus(OpenResult result) {
  switch (result) {
    case OpenResult::Opened: return ERROR_SUCCESS;
    case OpenResult::Damaged: return ERROR_BADDB;
    case OpenResult::Busy: return ERROR_SHARING_VIOLATION;
    case OpenResult::Refused: return ERROR_ACCESS_DENIED;
  }
  return ERROR_ACCESS_DENIED;
}

HKEY Find(HKEY key) { return LiveKeys().count(key) != 0 ? key : nullptr; }

// What opening a key checks first: the result pointer, the path, the hive.
LSTATUS StartOpening(HKEY root, LPCSTR subKey, PHKEY result, std::vector<std::string>& parts, std::string& hive) {
  State().lastProblem.clear();
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!SplitKeyPath(subKey, parts)) return ERROR_INVALID_PARAMETER;
  if (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  hive = root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
  return ERROR_SUCCESS;
}

}  // namespace

void SetLocations(std::string machineFolder, std::string userFolder) {
  State().machine = std::move(machineFolder);
  State().user = std::move(userFolder);
}

std::string MachineFolder() {
  return State().machine.empty() ? std::string("/var/lib/usb-corvane/registry") : State().machine;
}

std::string UserFolder() {
  if (!State().user.empty()) return State().user;
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
         "/usb-corvane/registry";
}

std::string LastProblem() { return State().lastProblem; }

void InjectCommitFailure(bool fail) { State().failCommits = fail; }

}  // namespace platform::registry

using namespace platform::registry;

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/, DWORD /*options*/,
                        REGSAM /*desired*/, LPSECURITY_ATTRIBUTES /*securityAttributes*/, PHKEY result,
                        LPDWORD disposition) {
  std::vector<std::string> parts;
  std::string hive;
  if (const LSTATUS status = StartOpening(root, subKey, result, parts, hive); status != ERROR_SUCCESS) return status;
  const bool machineWide = root == HKEY_LOCAL_MACHINE;

  std::unique_ptr<HKEY__> key;
  DWORD how = 0;
  OpenResult opened = OpenResult::Refused;
  if (machineWide) opened = OpenAt(MachineFolder(), hive, parts, nullptr, key, how);
  if (opened == OpenResult::Refused) {
    const auto seed = machineWide ? ReadMachineCopy(hive, parts) : std::nullopt;
    opened = OpenAt(UserFolder(), hive, parts, seed ? &*seed : nullptr, key, how);
    if (opened == OpenResult::Refused && State().lastProblem.empty()) {
      State().lastProblem = "no folder for the settings can be written";
    }
  }
  if (opened != OpenResult::Opened) return ToStatus(opened);
  *result = key.release();
  LiveKeys().insert(*result);
  if (disposition != nullptr) *disposition = how;
  return ERROR_SUCCESS;
}

// Reads the key RegCreateKeyExA would open, creating nothing: the file is
// replaced whole by every commit, so it is read without taking the lock.
LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD /*options*/, REGSAM /*desired*/, PHKEY result) {
  std::vector<std::string> parts;
  std::string hive;
  if (const LSTATUS status = StartOpening(root, subKey, result, parts, hive); status != ERROR_SUCCESS) return status;
  const bool machineWide = root == HKEY_LOCAL_MACHINE;
  const std::string machinePath = KeyFilePath(MachineFolder(), hive, parts);
  const std::string userPath = KeyFilePath(UserFolder(), hive, parts);
  const bool machineUsable = machineWide && access(QFile::encodeName(QFileInfo(QString::fromStdString(machinePath))
                                                                          .absolutePath())
                                                           .constData(),
                                                       W_OK | X_OK) == 0;
  std::string path = machineWide ? machinePath : userPath;
  if (machineWide && !machineUsable && QFileInfo::exists(QString::fromStdString(userPath))) path = userPath;

  auto opened = std::make_unique<HKEY__>();
  opened->filePath = path;
  opened->readOnly = true;
  opened->content.path = hive + "\\" + Join(parts, '\\');
  std::string problem;
  switch (LoadKeyFile(path, opened->content, problem)) {
    case LoadResult::Loaded: break;
    case LoadResult::Missing: return ERROR_FILE_NOT_FOUND;
    case LoadResult::Unreadable: State().lastProblem = problem; return ERROR_ACCESS_DENIED;
    case LoadResult::Damaged: State().lastProblem = problem; return ERROR_BADDB;
  }
  *result = opened.release();
  LiveKeys().insert(*result);
  return ERROR_SUCCESS;
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD /*reserved*/,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  HKEY open = Find(key);
  if (open == nullptr) return ERROR_INVALID_HANDLE;
  if (valueName == nullptr || valueNameSize == nullptr) return ERROR_INVALID_PARAMETER;
  const auto& values = open->content.values;
  if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
  const auto entry = std::next(values.begin(), static_cast<std::ptrdiff_t>(index));
  const std::string& name = entry->first;
  if (*valueNameSize <= name.size()) {
    *valueNameSize = static_cast<DWORD>(name.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::memcpy(valueName, name.c_str(), name.size() + 1);
  *valueNameSize = static_cast<DWORD>(name.size());
  if (type != nullptr) *type = entry->second.type;
  const auto size = static_cast<DWORD>(entry->second.data.size());
  if (data != nullptr) {
    if (dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (*dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    if (size > 0) std::memcpy(data, entry->second.data.data(), size);
  }
  if (dataSize != nullptr) *dataSize = size;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
  HKEY open = Find(key);
  if (open == nullptr) return ERROR_INVALID_HANDLE;
  const auto found = open->content.values.find(valueName == nullptr ? "" : valueName);
  if (found == open->content.values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& value = found->second;
  if (type != nullptr) *type = value.type;
  const auto size = static_cast<DWORD>(value.data.size());
  if (data != nullptr) {
    if (dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (*dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    if (size > 0) std::memcpy(data, value.data.data(), size);
  }
  if (dataSize != nullptr) *dataSize = size;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                       DWORD dataSize) {
  HKEY open = Find(key);
  if (open == nullptr) return ERROR_INVALID_HANDLE;
  if (open->readOnly) return ERROR_ACCESS_DENIED;
  if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
  if (dataSize > kMaxKeyFileSize / 4) return ERROR_INVALID_PARAMETER;
  Value value;
  value.type = type;
  if (dataSize > 0) value.data.assign(data, data + dataSize);
  open->content.values[valueName == nullptr ? "" : valueName] = std::move(value);
  open->dirty = true;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  HKEY open = Find(key);
  if (open == nullptr) return ERROR_INVALID_HANDLE;
  LiveKeys().erase(open);
  std::unique_ptr<HKEY__> owned(open);
  if (owned->dirty && (State().failCommits || !WriteKeyFile(owned->filePath, owned->content))) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;  // the lock goes with the key
}
