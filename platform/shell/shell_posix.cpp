// ShellExecuteA on POSIX: the desktop opens the address, unless a test
// installed an opener of its own (services.h).
#include <QDesktopServices>
#include <QUrl>

#include "services.h"
#include "win32.h"

HINSTANCE ShellExecuteA(HWND /*owner*/, LPCSTR /*verb*/, LPCSTR file, LPCSTR /*parameters*/,
                        LPCSTR /*directory*/, int /*showCommand*/) {
  const std::string target = file == nullptr ? std::string() : std::string(file);
  const auto& opener = platform::InstalledServices().opener;
  const bool opened = opener ? opener(target)
                             : QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
  // Above 32 means success, as on Windows; 2 is "file not found".
  return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(opened ? 42 : 2));
}
