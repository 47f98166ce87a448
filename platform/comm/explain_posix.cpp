// The explanations of comm failures on POSIX: they look at the device's
// owner, group and mode, and at the user's groups, through the seam.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "comm_failure.h"
#include "system_calls.h"

namespace platform::comm {
namespace {

std::string Where(const CommFailure& f) {
  if (!f.device.empty()) return f.device;
  return "port " + std::to_string(f.port);
}

std::string KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISREG(mode)) return "an ordinary file";
  if (S_ISFIFO(mode)) return "a pipe (FIFO)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISBLK(mode)) return "a block device";
  return "a device that is not a terminal";
}

std::string ModeText(mode_t mode) {
  char octal[8];
  std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode & 07777));
  return octal;
}

std::string NoSuchDevice(const CommFailure& f) {
  if (!f.identity.empty()) {
    return "No such device: port " + std::to_string(f.port) + " is the adapter " + f.identity +
           ", which is not plugged in.";
  }
  if (!f.device.empty()) return "No such device: " + f.device + " does not exist (is the adapter plugged in?).";
  return "No such device: no serial adapter has been given the number " + std::to_string(f.port) +
         " on this machine; usb-corvane --list-ports lists the numbers.";
}

std::string NotSerial(const CommFailure& f) {
  struct stat info {};
  const std::string what = Sys().Stat(f.device.c_str(), &info) == 0 ? KindOfFile(info.st_mode) : "no terminal";
  return f.device + " is not a serial device: it is " + what + ".";
}

std::string PermissionDenied(const CommFailure& f) {
  const std::string where = Where(f);
  struct stat info {};
  if (Sys().Stat(f.device.c_str(), &info) != 0) {
    return "Permission denied on " + where + ".";
  }
  const auto group = Sys().GroupName(info.st_gid);
  const std::string groupName = group ? *group : std::to_string(info.st_gid);
  const bool groupMayUse = (info.st_mode & S_IRGRP) != 0 && (info.st_mode & S_IWGRP) != 0;
  // Joining root's group to reach a device is never the advice to give.
  if (groupMayUse && info.st_gid != 0) {
    if (Sys().ProcessInGroup(info.st_gid)) {
      return "Permission denied on " + where + ", although this program runs in its group '" + groupName +
             "': a security module or an access list refuses it.";
    }
    if (Sys().UserListedInGroup(info.st_gid)) {
      return "Permission denied on " + where + ": your user was added to the group '" + groupName +
             "' after this session began; log out and in again.";
    }
    return "Permission denied on " + where + ": members of the group '" + groupName +
           "' may use it; join it with: sudo usermod -aG " + groupName + " $USER, then log in again.";
  }
  const auto user = Sys().UserName(info.st_uid);
  const std::string owner = user ? *user : "user " + std::to_string(info.st_uid);
  return "Permission denied on " + where + ": it belongs to " + owner + " and the group '" + groupName +
         "' with mode " + ModeText(info.st_mode) + ", so no group of yours may use it. A udev rule can give it "
         "to the group dialout with mode 0660 (see the README), or run as root.";
}

std::string InUse(const CommFailure& f) {
  std::string text = Where(f) + " is in use by another program";
  if (f.holder) {
    text += ": " + (f.holderName.empty() ? std::string("a program") : f.holderName) + " (process " +
            std::to_string(*f.holder) + ")";
    if (!f.lockFile.empty()) text += ", which holds the lock file " + f.lockFile;
    return text + ".";
  }
  return text + " (one this user may not see, perhaps another user's).";
}

}  // namespace

std::string Explain(const CommFailure& f) {
  switch (f.systemError) {
    case 0:
    case ECANCELED: return {};
    case ENOENT:
    case ENOTDIR: return NoSuchDevice(f);
    case ENOTTY:
    case EISDIR: return NotSerial(f);
    case EACCES:
    case EPERM: return PermissionDenied(f);
    case EBUSY:
    case EWOULDBLOCK: return InUse(f);
    case EIO:
    case ENXIO:
    case ENODEV: return Where(f) + " disappeared (was the adapter unplugged?).";
    case ENAMETOOLONG: return "The device name is too long: " + f.device + ".";
    default:
      return Where(f) + " failed" + (f.operation.empty() ? std::string() : " at " + f.operation) + ": " +
             std::strerror(f.systemError) + ".";
  }
}

}  // namespace platform::comm
