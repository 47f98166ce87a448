#include <QApplication>
#include <cstdio>

#include "Unit1.h"
#include "command_line.h"
#include "standard_descriptors.h"
#include "toolkit_options.h"
#include "window_startup.h"

int main(int argc, char** argv) {
  platform::OpenClosedStandardDescriptors();  // before any pipe or file takes their numbers
  // Read before the application starts, so --help and --version need no
  // display; byte for byte, so a file name in any encoding stays itself.
  // Qt's own options are QApplication's.
  const std::vector<std::string> arguments = WithoutToolkitOptions({argv, argv + argc});
  const auto parsed = ParseWindowOptions(arguments, USB_CORVANE_VERSION);
  if (const auto* exit = std::get_if<WindowExit>(&parsed)) {
    std::fputs(exit->out.c_str(), stdout);
    std::fputs(exit->err.c_str(), stderr);
    return command_line::FinishStandardOutput("usb-corvane-config") != 0 ? 1 : exit->status;
  }
  QApplication application(argc, argv);
  IdentifyToDesktop();
  return RunProgram(application, std::get<WindowOptions>(parsed));
}
