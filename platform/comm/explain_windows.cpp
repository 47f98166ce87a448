// The explanations of comm failures on Windows, in the system's own words
// (FormatMessage) with what would help. Windows reports a port another
// program has open as "access denied".
#include <cerrno>

#include "comm_failure.h"
#include "windows_errors.h"

namespace platform::comm {
namespace {

std::string Where(const CommFailure& f) {
  if (!f.device.empty()) return f.device;
  return "COM" + std::to_string(f.port);
}

}  // namespace

std::string Explain(const CommFailure& f) {
  const std::string said = WindowsErrorText(ErrorFromErrno(f.systemError));
  switch (f.systemError) {
    case 0:
    case ECANCELED: return {};
    case ENOENT:
    case ENOTDIR:
      if (f.device.empty() && f.port != 0) {
        return Where(f) + ": " + said + " No serial port has that number on this machine; " +
               "usb-corvane --list-ports lists them.";
      }
      return Where(f) + ": " + said + " Is the adapter plugged in?";
    case EACCES:
    case EPERM:
    case EBUSY:
      return Where(f) + ": " + said + " Another program may have the port open; close it and try again.";
    case EIO:
    case ENXIO:
    case ENODEV: return Where(f) + " disappeared (was the adapter unplugged?).";
    default: return Where(f) + (f.operation.empty() ? std::string() : " (" + f.operation + ")") + ": " + said;
  }
}

}  // namespace platform::comm
