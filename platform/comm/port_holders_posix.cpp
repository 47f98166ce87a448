#include "port_holders.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "services.h"
#include "system_calls.h"

namespace platform::comm {
namespace {

std::vector<std::string> LockFolders() {
  const auto& locks = InstalledServices().lockFolders;
  return locks.empty() ? std::vector<std::string>{"/run/lock", "/var/lock"} : locks;
}

std::string ProcessFolder() {
  const std::string& processes = InstalledServices().processFolder;
  return processes.empty() ? std::string("/proc") : processes;
}

std::string ProgramName(long pid) {
  std::ifstream comm(ProcessFolder() + "/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

bool Alive(long pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  // EPERM: it lives, as another user's process.
  return Sys().Kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The PID in a lock file: ten ASCII digits and a newline as the FHS has it,
// or the four binary bytes of older programs.
std::optional<long> LockFilePid(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (content.size() == 4 && content.find_first_not_of(" 0123456789\n") != std::string::npos) {
    std::int32_t binary = 0;
    for (int i = 3; i >= 0; --i) binary = (binary << 8) | static_cast<unsigned char>(content[static_cast<std::size_t>(i)]);
    return binary;
  }
  char* end = nullptr;
  const long pid = std::strtol(content.c_str(), &end, 10);
  if (end == content.c_str()) return std::nullopt;
  return pid;
}

std::string BaseName(const std::string& path) {
  char resolved[PATH_MAX];
  const std::string real = ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
  const auto slash = real.rfind('/');
  return slash == std::string::npos ? real : real.substr(slash + 1);
}

}  // namespace

std::optional<Holder> LockFileHolder(const std::string& devicePath) {
  const std::string name = "LCK.." + BaseName(devicePath);
  for (const std::string& folder : LockFolders()) {
    const std::string path = folder + "/" + name;
    const auto pid = LockFilePid(path);
    if (pid && *pid != ::getpid() && Alive(*pid)) return Holder{*pid, ProgramName(*pid), path};
  }
  return std::nullopt;
}

std::optional<Holder> ProcessHolding(dev_t device) {
  const std::string root = ProcessFolder();
  DIR* processes = ::opendir(root.c_str());
  if (processes == nullptr) return std::nullopt;
  std::optional<Holder> found;
  const long self = ::getpid();
  while (const dirent* process = ::readdir(processes)) {
    char* end = nullptr;
    const long pid = std::strtol(process->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    const std::string fdFolder = root + "/" + process->d_name + "/fd";
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr) continue;  // another user's process, or gone already
    while (const dirent* fd = ::readdir(fds)) {
      if (fd->d_name[0] == '.') continue;
      struct stat open {};
      if (Sys().Stat((fdFolder + "/" + fd->d_name).c_str(), &open) == 0 && S_ISCHR(open.st_mode) &&
          open.st_rdev == device) {
        found = Holder{pid, ProgramName(pid), {}};
        break;
      }
    }
    ::closedir(fds);
    if (found) break;
  }
  ::closedir(processes);
  return found;
}

}  // namespace platform::comm
