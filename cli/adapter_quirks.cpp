#include "port_diagnosis.h"

#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "port_table.h"

namespace cli {
namespace {

std::string ProcessName(long pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "an unknown program" : name;
}

std::string Holder(long pid) { return ProcessName(pid) + " (process " + std::to_string(pid) + ")"; }

std::optional<long> PidFromLockFile(const std::string& devicePath) {
  std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  for (const char* folder : {"/var/lock/", "/run/lock/", "/var/spool/locks/", "/tmp/"}) {
    std::ifstream lock(std::string(folder) + "LCK.." + name);
    long pid = 0;
    if (lock >> pid && pid > 0 && pid != getpid() && access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0) {
      return pid;
    }
  }
  return std::nullopt;
}

std::optional<long> PidWithDeviceOpen(const std::string& devicePath) {
  struct stat target {};
  if (stat(devicePath.c_str(), &target) != 0) return std::nullopt;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return std::nullopt;
  std::optional<long> found;
  while (dirent* entry = readdir(proc)) {
    const long pid = std::atol(entry->d_name);
    if (pid <= 0 || pid == getpid()) continue;
    const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(fdDir.c_str());
    if (fds == nullptr) continue;  // another user's process
    while (dirent* fd = readdir(fds)) {
      struct stat open {};
      if (stat((fdDir + "/" + fd->d_name).c_str(), &open) == 0 && S_ISCHR(open.st_mode) &&
          open.st_rdev == target.st_rdev) {
        found = pid;
        break;
      }
    }
    closedir(fds);
    if (found) break;
  }
  closedir(proc);
  return found;
}

}  // namespace

std::optional<std::string> DeviceHolder(const std::string& devicePath) {
  if (auto pid = PidFromLockFile(devicePath)) return Holder(*pid);
  if (auto pid = PidWithDeviceOpen(devicePath)) return Holder(*pid);
  return std::nullopt;
}

std::optional<std::string> DeviceGroup(const std::string& devicePath) {
  struct stat info {};
  if (stat(devicePath.c_str(), &info) != 0) return std::nullopt;
  if (const group* owner = getgrgid(info.st_gid)) return std::string(owner->gr_name);
  return std::to_string(info.st_gid);
}

bool CannotHoldLongBreak(unsigned vendorId, unsigned productId) {
  return vendorId == 0x1a86 && (productId == 0x7523 || productId == 0x5523);
}

std::string ExplainOpenFailure(DWORD error, unsigned port, const std::optional<std::string>& devicePath) {
  std::optional<std::string> path = devicePath;
  if (!path) {
    if (auto entry = platform::ports::Describe(port); entry && !entry->simulated) path = entry->device;
  }
  const std::string where = path ? *path : "port " + std::to_string(port);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      if (!path) return "No such device: no serial device is numbered " + std::to_string(port) +
                        " on this machine (see --list-ports).";
      return "No such device: " + *path + " does not exist (is the adapter plugged in?).";
    case ERROR_ACCESS_DENIED: {
      const auto group = path ? DeviceGroup(*path) : std::nullopt;
      return "Permission denied on " + where + ": your user must be in the group that owns the device" +
             (group ? " ('" + *group + "'): sudo usermod -aG " + *group + " $USER" : std::string()) +
             ", then log in again.";
    }
    case ERROR_SHARING_VIOLATION: {
      const auto holder = path ? DeviceHolder(*path) : std::nullopt;
      return where + " is in use by another program" + (holder ? ": " + *holder : std::string()) +
             ". On Linux ModemManager and brltty are the usual suspects.";
    }
    default:
      return where + " refused its line settings or modem control (DTR/RTS): error " + std::to_string(error) + ".";
  }
}

}  // namespace cli
