#include <QDesktopServices>
#include <QUrl>

#include "shell.h"
#include "win32.h"

namespace platform::shell {
namespace {

Opener& Current() {
  static Opener opener;
  return opener;
}

}  // namespace

void SetOpener(Opener opener) { Current() = std::move(opener); }

}  // namespace platform::shell

HINSTANCE ShellExecuteA(HWND /*owner*/, LPCSTR /*verb*/, LPCSTR file, LPCSTR /*parameters*/,
                        LPCSTR /*directory*/, int /*showCommand*/) {
  const std::string target = file == nullptr ? std::string() : std::string(file);
  const auto& opener = platform::shell::Current();
  const bool opened = opener ? opener(target)
                             : QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
  // Above 32 means success, as on Windows; 2 is "file not found".
  return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(opened ? 42 : 2));
}
