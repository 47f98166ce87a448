#include "key_folder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "quoted_name.h"

namespace platform {
namespace {

bool Trusted(const struct stat& entry, mode_t folderMode) {
  if ((folderMode & S_IWOTH) == 0) return true;  // only its owner or its group may write the folder
  return entry.st_uid == 0 || entry.st_uid == ::geteuid();
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::optional<FileProblem> Refusal(const std::string& what, const std::string& why) {
  return FileProblem{0, what + " " + why + "; it is not used"};
}

// Opens one folder below `parent`, following a link only where nobody but
// the parent's owner may have put it.
int OpenChild(int parent, mode_t parentMode, const std::string& name, const std::string& path, bool create,
              FileProblem& problem) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  int fd = ::openat(parent, name.c_str(), kFlags | O_NOFOLLOW);
  if (fd < 0 && errno == ENOENT && create) {
    // In a set-group-ID folder the new one is the group's as well.
    const bool shared = (parentMode & S_ISGID) != 0;
    if (::mkdirat(parent, name.c_str(), shared ? 02775 : 0755) == 0) {
      fd = ::openat(parent, name.c_str(), kFlags | O_NOFOLLOW);
      if (fd >= 0 && shared) ::fchmod(fd, 02775);  // whatever the umask
    } else if (errno == EEXIST) {
      fd = ::openat(parent, name.c_str(), kFlags | O_NOFOLLOW);
    } else {
      problem = {errno, {}};
      return -1;
    }
  }
  if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
    struct stat link {};
    if (::fstatat(parent, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode)) {
      if ((parentMode & (S_IWGRP | S_IWOTH)) != 0) {
        problem = *Refusal("The settings folder " + QuotedName(path), "is a symbolic link in a folder others may write");
        return -1;
      }
      fd = ::openat(parent, name.c_str(), kFlags);
    } else {
      errno = ENOTDIR;
    }
  }
  if (fd < 0) {
    problem = {errno, {}};
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !Trusted(info, parentMode)) {
    ::close(fd);
    problem = *Refusal("The settings folder " + QuotedName(path),
                       "belongs to user " + std::to_string(info.st_uid) + " in a folder anyone may write");
    return -1;
  }
  return fd;
}

}  // namespace

FileLock::~FileLock() { ::close(fd_); }  // closing releases the lock

KeyFolder::KeyFolder(int fd, std::string path, mode_t mode) : fd_(fd), path_(std::move(path)), mode_(mode) {}

KeyFolder::KeyFolder(KeyFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), mode_(other.mode_) {}

KeyFolder::~KeyFolder() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<KeyFolder> KeyFolder::Open(const std::string& path, bool create, FileProblem& problem) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "/") {
    if (c != '/') {
      part += c;
    } else if (!part.empty()) {
      if (part != ".") parts.push_back(part);
      part.clear();
    }
  }
  const bool absolute = !path.empty() && path[0] == '/';
  int fd = ::open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    problem = {errno, {}};
    return std::nullopt;
  }
  std::string reached = absolute ? "/" : ".";
  for (const std::string& name : parts) {
    struct stat parent {};
    ::fstat(fd, &parent);
    reached = Join(reached, name);
    const int child = OpenChild(fd, parent.st_mode, name, reached, create, problem);
    ::close(fd);
    if (child < 0) return std::nullopt;
    fd = child;
  }
  struct stat info {};
  ::fstat(fd, &info);
  return KeyFolder(fd, path, info.st_mode);
}

bool KeyFolder::Writable() const { return ::faccessat(fd_, ".", W_OK | X_OK, AT_EACCESS) == 0; }

mode_t KeyFolder::NewFileMode() const { return (mode_ & S_ISGID) != 0 ? 0664 : 0644; }

int KeyFolder::OpenEntry(const std::string& name, int flags, FileProblem& problem) const {
  const int fd = ::openat(fd_, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, NewFileMode());
  if (fd < 0) {
    // ELOOP: the name is a symbolic link, which is never followed.
    problem = errno == ELOOP ? *Refusal("The settings file " + Join(path_, name), "is a symbolic link")
                             : FileProblem{errno, {}};
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !Trusted(info, mode_)) {
    ::close(fd);
    problem = *Refusal("The settings file " + Join(path_, name),
                       S_ISREG(info.st_mode) ? "belongs to user " + std::to_string(info.st_uid) +
                                                   " in a folder anyone may write"
                                             : std::string("is not an ordinary file"));
    return -1;
  }
  return fd;
}

std::optional<std::string> KeyFolder::ReadFile(const std::string& name, std::size_t limit, bool forWriting,
                                               FileProblem& problem) const {
  const int fd = OpenEntry(name, forWriting ? O_RDWR : O_RDONLY, problem);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[4096];
  while (text.size() < limit) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) problem = {errno, {}};
      break;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (problem.error != 0) return std::nullopt;
  return text;
}

namespace {

// ".USB_Corvane.reg.<pid>.<random>": the named temporary file of a save.
std::string TemporaryPrefix(const std::string& name) { return "." + name + "."; }

// The writer a temporary file's name gives, when it has ended.
bool WriterGone(const std::string& entry) {
  const auto dot = entry.rfind('.');
  const auto pidStart = dot == std::string::npos || dot == 0 ? std::string::npos : entry.rfind('.', dot - 1);
  if (pidStart == std::string::npos) return false;
  const std::string digits = entry.substr(pidStart + 1, dot - pidStart - 1);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const long pid = std::stol(digits);
  return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Who holds the flock on `fd`'s file, from the kernel's table of locks:
// "usb-corvane-con (process 1234)", or empty when it cannot be seen.
std::string LockHolder(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return {};
  std::ifstream locks("/proc/locks");
  char where[64];
  std::snprintf(where, sizeof where, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters ("1: -> FLOCK ...") hold nothing.
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string id, kind, advisory, mode, pid, file;
    if (!(fields >> id >> kind >> advisory >> mode >> pid >> file) || kind != "FLOCK" || file != where) continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "process " + pid : name + " (process " + pid + ")";
  }
  return {};
}

// Writes all of `text` to `fd`; the errno of the failure, 0 on success.
int WriteAll(int fd, std::string_view text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

void KeyFolder::RemoveDeadWritersFiles(const std::string& name) const {
  const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* folder = ::fdopendir(fd);
  if (folder == nullptr) {
    ::close(fd);
    return;
  }
  const std::string prefix = TemporaryPrefix(name);
  while (const dirent* entry = ::readdir(folder)) {
    const std::string entryName = entry->d_name;
    if (entryName.compare(0, prefix.size(), prefix) != 0 || !WriterGone(entryName)) continue;
    struct stat info {};
    if (::fstatat(fd_, entryName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        Trusted(info, mode_)) {
      ::unlinkat(fd_, entryName.c_str(), 0);
    }
  }
  ::closedir(folder);
}

bool KeyFolder::ReplaceFile(const std::string& name, std::string_view text, FileProblem& problem) const {
  RemoveDeadWritersFiles(name);
  // Not guessable, so nobody can block a save by taking its name first.
  static std::mt19937_64 random{std::random_device{}()};
  const std::string temporary = TemporaryPrefix(name) + std::to_string(::getpid()) + "." + std::to_string(random());
  // Preferably a file without a name until it is whole, which a killed save
  // cannot leave behind; where the file system has none, a named one.
  // Naming it later goes through /proc (linkat with AT_EMPTY_PATH is for root only).
  static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
  int fd = canName ? ::openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, NewFileMode()) : -1;
  const bool unnamed = fd >= 0;
  if (!unnamed) fd = OpenEntry(temporary, O_WRONLY | O_CREAT | O_EXCL, problem);
  if (fd < 0) return false;
  bool named = !unnamed;
  auto failed = [&](int error) {
    problem = {error, {}};
    if (named) ::unlinkat(fd_, temporary.c_str(), 0);
    return false;
  };
  // Always the folder's rule, never the mode of the file it replaces, which
  // another member of a shared folder may have opened to everyone.
  ::fchmod(fd, NewFileMode());
  ::fcntl(fd, F_SETFL, 0);  // blocking writes from here
  if (const int error = WriteAll(fd, text); error != 0) {
    ::close(fd);
    return failed(error);
  }
  if (unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), fd_, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      const int error = errno;
      ::close(fd);
      return failed(error);
    }
    named = true;
  }
  if (::close(fd) != 0) return failed(errno);
  if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) return failed(errno);
  // The rename itself reaches the disk only with the folder.
  if (::fsync(fd_) != 0) {
    problem = {errno, {}};
    return false;
  }
  return true;
}

KeyFolder::Lock KeyFolder::TakeLock(const std::string& name, int waitMs, std::optional<FileLock>& lock,
                                    FileProblem& problem) const {
  int fd = OpenEntry(name, O_RDWR | O_CREAT | O_EXCL, problem);
  if (fd >= 0) {
    ::fchmod(fd, NewFileMode());  // shared as the folder says, whatever the umask
  } else if (problem.error == EEXIST) {
    problem = {};
    fd = OpenEntry(name, O_RDWR, problem);
  }
  if (fd < 0) return Lock::Refused;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock.emplace(fd);
      return Lock::Locked;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      problem = {EWOULDBLOCK, LockHolder(fd)};
      ::close(fd);
      return Lock::TimedOut;
    }
    // Holders keep the lock for milliseconds; poll briefly.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  problem = {errno, {}};
  ::close(fd);
  return Lock::Refused;
}

}  // namespace platform
