// The explanations of comm failures on POSIX: they look at the device's
// owner, group and mode, and at the user's groups, through the seam.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "comm_failure.h"
#include "quoted_name.h"
#include "system_calls.h"

namespace platform::comm {
namespace {

std::string Where(const CommFailure& f) {
  if (!f.device.empty()) return QuotedName(f.device);
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
  if (!f.numbering.empty()) {
    return "No such device: port " + std::to_string(f.port) +
           " opens nothing while the stored port numbers cannot be read (" + f.numbering +
           "); mend or remove that file.";
  }
  if (!f.identity.empty()) {
    return "No such device: port " + std::to_string(f.port) + " is the adapter " + f.identity +
           ", which is not plugged in.";
  }
  if (!f.device.empty()) return "No such device: " + QuotedName(f.device) + " does not exist (is the adapter plugged in?).";
  return "No such device: no serial adapter has been given the number " + std::to_string(f.port) +
         " on this machine; usb-corvane --list-ports lists the numbers.";
}

// The device's owner and mode as recorded with the failure, else as they are now.
std::optional<DeviceAccess> AccessOf(const CommFailure& f) {
  if (f.access) return f.access;
  struct stat info {};
  if (Sys().Stat(f.device.c_str(), &info) != 0) return std::nullopt;
  DeviceAccess access{info.st_uid, info.st_gid, info.st_mode, {}, {}};
  if (const auto user = Sys().UserName(info.st_uid)) access.ownerName = *user;
  if (const auto group = Sys().GroupName(info.st_gid)) access.groupName = *group;
  return access;
}

std::string NotSerial(const CommFailure& f) {
  const auto access = AccessOf(f);
  return QuotedName(f.device) + " is not a serial device: it is " + (access ? KindOfFile(access->mode) : "no terminal") + ".";
}

std::string PermissionDenied(const CommFailure& f) {
  const std::string where = Where(f);
  const auto access = AccessOf(f);
  if (!access) return "Permission denied on " + where + ".";
  const std::string groupName = access->groupName.empty() ? std::to_string(access->group) : access->groupName;
  const bool groupMayUse = (access->mode & S_IRGRP) != 0 && (access->mode & S_IWGRP) != 0;
  // Joining root's group to reach a device is never the advice to give.
  if (groupMayUse && access->group != 0) {
    if (Sys().ProcessInGroup(access->group)) {
      return "Permission denied on " + where + ", although this program runs in its group '" + groupName +
             "': a security module or an access list refuses it.";
    }
    if (Sys().UserListedInGroup(access->group)) {
      return "Permission denied on " + where + ": your user was added to the group '" + groupName +
             "' after this session began; log out and in again.";
    }
    return "Permission denied on " + where + ": members of the group '" + groupName +
           "' may use it; join it with: sudo usermod -aG " + groupName + " $USER, then log in again.";
  }
  const std::string owner = access->ownerName.empty() ? "user " + std::to_string(access->owner) : access->ownerName;
  return "Permission denied on " + where + ": it belongs to " + owner + " and the group '" + groupName +
         "' with mode " + ModeText(access->mode) + ", so no group of yours may use it. A udev rule can give it "
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
    case ENAMETOOLONG: return "The device name is too long: " + QuotedName(f.device) + ".";
    default:
      return Where(f) + " failed" + (f.operation.empty() ? std::string() : " at " + f.operation) + ": " +
             std::strerror(f.systemError) + ".";
  }
}

}  // namespace platform::comm
