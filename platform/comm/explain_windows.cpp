// The explanations of comm failures on Windows, in the system's own words
// (FormatMessage) with what would help. Windows reports a port another
// program has open as "access denied".
#include <cerrno>

#include "comm_failure.h"

namespace platform::comm {
namespace {

std::string Where(const CommFailure& f) {
  if (!f.device.empty()) return f.device;
  return "COM" + std::to_string(f.port);
}

std::string SystemText(DWORD error) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(error);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

std::string Explain(const CommFailure& f) {
  const std::string said = SystemText(ErrorFromErrno(f.systemError));
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
