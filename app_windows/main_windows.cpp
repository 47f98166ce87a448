// usb-corvane-config.exe: the window on Windows, native, with the behaviour
// of the Qt window on Linux.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "console_close.h"
#include "native_form.h"
#include "standard_descriptors.h"
#include "win32.h"
#include "win32_pump.h"
// After windows.h, which it needs.
#include <commctrl.h>
#include "window_startup.h"

namespace {

// A window program has no console of its own: --help, --version and the
// messages go to the one it was started from, or to where its output was
// sent; the window closes with that console.
void UseParentConsole() {
  const bool redirected = GetStdHandle(STD_OUTPUT_HANDLE) != nullptr;
  if (GetConsoleWindow() != nullptr || !AttachConsole(ATTACH_PARENT_PROCESS) || redirected) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
  SetConsoleOutputCP(CP_UTF8);  // names in any script, as the manifest's code page has them
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  platform::OpenClosedStandardDescriptors();
  const std::vector<std::string> arguments(__argv, __argv + __argc);
  const auto parsed = ParseWindowOptions(arguments, USB_CORVANE_VERSION);
  if (const auto* exit = std::get_if<WindowExit>(&parsed)) {
    UseParentConsole();
    std::fputs(exit->out.c_str(), stdout);
    std::fputs(exit->err.c_str(), stderr);
    return command_line::FinishStandardOutput("usb-corvane-config") != 0 ? 1 : exit->status;
  }
  const WindowOptions& options = std::get<WindowOptions>(parsed);
  UseParentConsole();
  if (!window_core::SimulateAsAsked(options)) return 2;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  TNativeForm form;
  if (!form.Create(instance)) return 1;  // said in the error box
  const TCloseWithConsole closeWithConsole(form.Handle());
  TWin32Pump pump(form.Handle());
  const platform::ScopedServices windowServices(
      [&](platform::Services& services) { window_core::AddWindowServices(services, options, pump); });
  const window_core::TWindowTrace trace(options);
  return pump.Loop();
}
