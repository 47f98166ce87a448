// A folder of settings files, reached from the root one component at a time
// through descriptors, so that nothing another user plants is followed or
// trusted:
// - a key file, its lock file and its temporary file are never opened
//   through a symbolic link;
// - a folder on the way is followed through a link only where nobody but its
//   owner may write the folder that holds the link;
// - in a folder anyone may write, an entry must belong to root or to this user.
// Files written here reach the disk whole or not at all. In a set-group-ID
// folder new folders and files are group-writable, so that a folder an
// administrator shares with a group serves every member.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// What went wrong: the errno, or 0 with a reason when a link or another
// user's file was refused.
struct FileProblem {
  int error = 0;
  std::string reason;
};

// An exclusive lock between processes, held until destroyed; the kernel drops
// it when its holder dies, so a crash never leaves a stale lock behind.
class FileLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

class KeyFolder {
 public:
  enum class Lock { Locked, Refused, TimedOut };

  // Opens `path`, creating the folders that are missing when `create` is set.
  static std::optional<KeyFolder> Open(const std::string& path, bool create, FileProblem& problem);
  KeyFolder(KeyFolder&& other) noexcept;
  KeyFolder& operator=(KeyFolder&&) = delete;
  KeyFolder(const KeyFolder&) = delete;
  ~KeyFolder();

  const std::string& path() const { return path_; }
  // This process may create and replace files here.
  bool Writable() const;

  // Reads a file, at most `limit` bytes of it. `forWriting` also asks that
  // this process may write it.
  std::optional<std::string> ReadFile(const std::string& name, std::size_t limit, bool forWriting,
                                      FileProblem& problem) const;
  // Replaces `name` with `text`: a temporary file, every write checked,
  // fsync, rename, fsync of the folder. On any failure the old file stays.
  // The new file has the folder's mode (0664 in a set-group-ID folder, else
  // 0644), and temporary files that killed writers left are removed first.
  bool ReplaceFile(const std::string& name, std::string_view text, FileProblem& problem) const;
  // Takes the lock file `name` (created when missing), waiting up to `waitMs`;
  // TimedOut names the holder in `problem.reason` when it can be seen.
  Lock TakeLock(const std::string& name, int waitMs, std::optional<FileLock>& lock, FileProblem& problem) const;

 private:
  KeyFolder(int fd, std::string path, mode_t mode);
  // Opens a file without following a link, and checks that it may be trusted.
  int OpenEntry(const std::string& name, int flags, FileProblem& problem) const;
  mode_t NewFileMode() const;
  void RemoveDeadWritersFiles(const std::string& name) const;

  int fd_;
  std::string path_;
  mode_t mode_;  // the folder's own mode
};

}  // namespace platform
