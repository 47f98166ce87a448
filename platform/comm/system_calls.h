// Every system call the comm layer makes goes through this one seam, so a
// test can make any of them fail with the errno it chooses, or stand in for
// the kernel's side of a serial device altogether. The default is the kernel.
#pragma once

#include <optional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

namespace platform::comm {

class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  // Each returns what the call returns, with errno set on failure.
  virtual int Open(const char* path, int flags);
  virtual int Close(int fd);
  virtual int Ioctl(int fd, unsigned long request, void* argument);
  virtual int TcGetAttr(int fd, termios* settings);
  virtual int TcSetAttr(int fd, int when, const termios* settings);
  virtual int TcFlush(int fd, int queue);
  virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs);
  virtual ssize_t Read(int fd, void* data, size_t size);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Flock(int fd, int operation);
  virtual int Stat(const char* path, struct stat* info);
  virtual int Fstat(int fd, struct stat* info);
  virtual int Kill(pid_t pid, int signal);
  // The names of a user and of a group, when they have one.
  virtual std::optional<std::string> UserName(uid_t user);
  virtual std::optional<std::string> GroupName(gid_t group);
  // Whether this process runs with `group` among its groups.
  virtual bool ProcessInGroup(gid_t group);
  // Whether the user running this process is listed as a member of `group`,
  // although the running session may not have it yet.
  virtual bool UserListedInGroup(gid_t group);
};

// The installed record's calls (services.h), or the kernel's.
SystemCalls& Sys();

}  // namespace platform::comm
