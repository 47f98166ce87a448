// The registry calls over key files. Opening a key takes a lock between
// processes and reads the file; values set are written, whole, when the key is
// closed: to a temporary file, every write checked, synced, then renamed over
// the old one and the folder synced. So a crash or a full disk leaves the old
// or the new file, and two programs never mix. Folders and files are reached
// through descriptors (KeyFolder), never through another user's links.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
#include <vector>
#include <pwd.h>
#include <unistd.h>

#include "key_folder.h"
#include "quoted_name.h"
#include "registry.h"
#include "registry_file.h"
#include "services.h"
#include "win32.h"

struct HKEY__ {
  std::optional<platform::KeyFolder> folder;
  std::string fileName;
  std::optional<platform::FileLock> lock;
  platform::registry::KeyFile content;
  bool dirty = false;
  bool readOnly = false;  // opened by RegOpenKeyExA: read without a lock, never written
};

namespace platform::registry {
namespace {

// Why the last opening failed, in words: kept for LastProblem().
std::string& LastOpeningProblem() {
  static std::string problem;
  return problem;
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

// Where a key lives: its folder below `base`, and its file's name there.
struct KeyPlace {
  std::string folder;
  std::string file;
  std::string Path() const { return folder + "/" + file; }
};

KeyPlace PlaceOf(const std::string& base, const std::string& hive, const std::vector<std::string>& parts) {
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "literal" + temporary at -O3.
  std::string folder = base;
  folder += '/';
  folder += hive;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    folder += '/';
    folder += parts[i];
  }
  return {folder, parts.back() + ".reg"};
}

// A link or another user's file is refused: said once, on standard error,
// since the program goes on with the per-user copy.
void NoteRefusal(const FileProblem& problem) {
  if (problem.reason.empty()) return;
  LastOpeningProblem() = problem.reason;
  std::fprintf(stderr, "%s: %s.\n", program_invocation_short_name, problem.reason.c_str());
}

enum class LoadResult { Missing, Unreadable, Refused, Damaged, Loaded };

// Reads and parses a key file; `problem` says what is wrong when it is not Loaded.
LoadResult LoadKeyFile(const KeyFolder& folder, const std::string& name, bool forWriting, KeyFile& key,
                       std::string& problem) {
  FileProblem read;
  const auto text = folder.ReadFile(name, kMaxKeyFileSize + 1, forWriting, read);
  const std::string path = QuotedName(folder.path() + "/" + name);
  if (!text) {
    if (read.error == ENOENT) return LoadResult::Missing;
    NoteRefusal(read);
    problem = read.reason.empty() ? "cannot read " + path + ": " + std::strerror(read.error) : read.reason;
    return read.reason.empty() ? LoadResult::Unreadable : LoadResult::Refused;
  }
  if (auto error = ParseKeyFile(*text, key)) {
    problem = "The settings file " + path + " is damaged" +
              (error->line > 0 ? " (line " + std::to_string(error->line) + ")" : std::string()) + ": " +
              error->message;
    return LoadResult::Damaged;
  }
  return LoadResult::Loaded;
}

bool WriteKeyFile(const KeyFolder& folder, const std::string& name, const KeyFile& key) {
  const std::string text = FormatKeyFile(key);
  // Never a file the next start would refuse to read.
  if (text.size() > kMaxKeyFileSize) {
    LastOpeningProblem() = folder.path() + "/" + name + " would grow beyond 1 MiB, more than a settings key may be";
    return false;
  }
  FileProblem problem;
  if (folder.ReplaceFile(name, text, problem)) return true;
  NoteRefusal(problem);
  return false;
}

OpenResult OpenAt(const std::string& base, const std::string& hive, const std::vector<std::string>& parts,
                  const KeyFile* seed, std::unique_ptr<HKEY__>& key, DWORD& disposition) {
  const KeyPlace place = PlaceOf(base, hive, parts);
  FileProblem problem;
  auto folder = KeyFolder::Open(place.folder, true, problem);
  if (!folder) {
    NoteRefusal(problem);
    return OpenResult::Refused;
  }
  if (!folder->Writable()) return OpenResult::Refused;

  auto opened = std::make_unique<HKEY__>();
  switch (folder->TakeLock(place.file + ".lock", LockWaitMs(), opened->lock, problem)) {
    case KeyFolder::Lock::Locked: break;
    case KeyFolder::Lock::Refused: NoteRefusal(problem); return OpenResult::Refused;
    case KeyFolder::Lock::TimedOut:
      LastOpeningProblem() = (problem.reason.empty() ? std::string("another program") : problem.reason) +
                            " holds the settings in " + QuotedName(place.Path());
      return OpenResult::Busy;
  }
  opened->fileName = place.file;
  opened->content.path = hive + "\\" + Join(parts, '\\');
  KeyFile stored;
  std::string trouble;
  switch (LoadKeyFile(*folder, place.file, true, stored, trouble)) {
    case LoadResult::Loaded:
      opened->content.values = std::move(stored.values);
      disposition = REG_OPENED_EXISTING_KEY;
      break;
    case LoadResult::Missing:
      if (seed != nullptr) opened->content.values = seed->values;
      if (!WriteKeyFile(*folder, place.file, opened->content)) return OpenResult::Refused;
      disposition = REG_CREATED_NEW_KEY;
      break;
    case LoadResult::Unreadable:
    case LoadResult::Refused:
      LastOpeningProblem() = trouble;
      return OpenResult::Refused;
    case LoadResult::Damaged:
      LastOpeningProblem() = trouble;
      return OpenResult::Damaged;
  }
  opened->folder.emplace(std::move(*folder));
  key = std::move(opened);
  return OpenResult::Opened;
}

// The machine-wide values, when they can be read, to start a per-user copy from.
std::optional<KeyFile> ReadMachineCopy(const std::string& hive, const std::vector<std::string>& parts) {
  const KeyPlace place = PlaceOf(MachineFolder(), hive, parts);
  FileProblem problem;
  const auto folder = KeyFolder::Open(place.folder, false, problem);
  KeyFile key;
  std::string trouble;
  if (!folder || LoadKeyFile(*folder, place.file, false, key, trouble) != LoadResult::Loaded) return std::nullopt;
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
  LastOpeningProblem().clear();
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!SplitKeyPath(subKey, parts)) return ERROR_INVALID_PARAMETER;
  if (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  hive = root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
  return ERROR_SUCCESS;
}

}  // namespace

std::string MachineFolder() {
  const std::string& machine = InstalledServices().registryMachineFolder;
  return machine.empty() ? std::string("/var/lib/usb-corvane/registry") : machine;
}

namespace {

// The user's configuration folder, as the XDG base directories have it: a
// relative XDG_CONFIG_HOME or HOME is ignored, since it would put the
// settings wherever the program happens to be started.
std::string ConfigHome() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') return configHome;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
  const passwd* user = getpwuid(getuid());
  return std::string(user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "") + "/.config";
}

}  // namespace

std::string UserFolder() {
  if (const std::string& user = InstalledServices().registryUserFolder; !user.empty()) return user;
  return ConfigHome() + "/usb-corvane/registry";
}

std::string LastProblem() { return LastOpeningProblem(); }

std::string KeyFileOf(HKEY key) {
  return key != nullptr && key->folder ? key->folder->path() + "/" + key->fileName : "";
}

int LockWaitMs() {
  const int wait = InstalledServices().registryLockWaitMs;
  return wait > 0 ? wait : 5000;
}

}  // namespace platform::registry

using namespace platform::registry;
using platform::FileProblem;
using platform::KeyFolder;

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
    if (opened == OpenResult::Refused && LastOpeningProblem().empty()) {
      LastOpeningProblem() = "no folder for the settings can be written";
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
  auto opened = std::make_unique<HKEY__>();
  opened->readOnly = true;
  opened->content.path = hive + "\\" + Join(parts, '\\');
  auto load = [&](const KeyPlace& place, bool onlyIfWritable) -> std::optional<LSTATUS> {
    FileProblem problem;
    const auto folder = KeyFolder::Open(place.folder, false, problem);
    if (!folder || (onlyIfWritable && !folder->Writable())) return std::nullopt;
    std::string trouble;
    switch (LoadKeyFile(*folder, place.file, false, opened->content, trouble)) {
      case LoadResult::Loaded: return ERROR_SUCCESS;
      case LoadResult::Missing: return ERROR_FILE_NOT_FOUND;
      case LoadResult::Damaged: LastOpeningProblem() = trouble; return ERROR_BADDB;
      default: LastOpeningProblem() = trouble; return ERROR_ACCESS_DENIED;
    }
  };
  // The copy RegCreateKeyExA would open: machine-wide where this process may
  // write there, else the per-user copy when there is one, else the
  // machine-wide one to read.
  const KeyPlace machine = PlaceOf(MachineFolder(), hive, parts);
  std::optional<LSTATUS> status = machineWide ? load(machine, true) : std::nullopt;
  const bool machineIsTheCopy = status.has_value();
  if (!status) status = load(PlaceOf(UserFolder(), hive, parts), false);
  if (machineWide && !machineIsTheCopy && (!status || *status == ERROR_FILE_NOT_FOUND)) status = load(machine, false);
  if (!status) return ERROR_FILE_NOT_FOUND;
  if (*status != ERROR_SUCCESS) return *status;
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
  if (owned->dirty && !WriteKeyFile(*owned->folder, owned->fileName, owned->content)) {
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;  // the lock goes with the key
}
