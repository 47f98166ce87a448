#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fcntl.h>
#include <vector>

#include "system_calls.h"

#include "services.h"

namespace platform::comm {
namespace {

SystemCalls& Kernel() {
  static SystemCalls kernel;
  return kernel;
}

}  // namespace

int SystemCalls::Open(const char* path, int flags) { return ::open(path, flags); }
int SystemCalls::Close(int fd) { return ::close(fd); }
int SystemCalls::Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int SystemCalls::TcGetAttr(int fd, termios* settings) { return ::tcgetattr(fd, settings); }
int SystemCalls::TcSetAttr(int fd, int when, const termios* settings) { return ::tcsetattr(fd, when, settings); }
int SystemCalls::TcFlush(int fd, int queue) { return ::tcflush(fd, queue); }
int SystemCalls::Poll(pollfd* fds, nfds_t count, int timeoutMs) { return ::poll(fds, count, timeoutMs); }
ssize_t SystemCalls::Read(int fd, void* data, size_t size) { return ::read(fd, data, size); }
ssize_t SystemCalls::Write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int SystemCalls::Flock(int fd, int operation) { return ::flock(fd, operation); }
int SystemCalls::Stat(const char* path, struct stat* info) { return ::stat(path, info); }
int SystemCalls::Fstat(int fd, struct stat* info) { return ::fstat(fd, info); }
int SystemCalls::Kill(pid_t pid, int signal) { return ::kill(pid, signal); }

std::optional<std::string> SystemCalls::UserName(uid_t user) {
  if (const ::passwd* entry = ::getpwuid(user)) return std::string(entry->pw_name);
  return std::nullopt;
}

std::optional<std::string> SystemCalls::GroupName(gid_t group) {
  if (const ::group* entry = ::getgrgid(group)) return std::string(entry->gr_name);
  return std::nullopt;
}

bool SystemCalls::ProcessInGroup(gid_t group) {
  if (::getegid() == group) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<std::size_t>(i)] == group) return true;
  }
  return false;
}

bool SystemCalls::UserListedInGroup(gid_t group) {
  const ::passwd* user = ::getpwuid(::geteuid());
  if (user == nullptr) return false;
  const std::string name = user->pw_name;  // the entry is static storage
  const gid_t primary = user->pw_gid;
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (::getgrouplist(name.c_str(), primary, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(name.c_str(), primary, groups.data(), &count) < 0) return false;
  }
  for (int i = 0; i < count; ++i) {
    if (groups[static_cast<std::size_t>(i)] == group) return true;
  }
  return false;
}

SystemCalls& Sys() {
  SystemCalls* installed = InstalledServices().systemCalls;
  return installed != nullptr ? *installed : Kernel();
}

}  // namespace platform::comm
