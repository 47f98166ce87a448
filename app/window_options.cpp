#include "window_options.h"

#include <QCommandLineParser>

namespace {

// Written out, so that --help needs no display.
constexpr const char* kHelp =
    "Usage: usb-corvane-config [--simulate [FILE]] [--trace FILE]\n"
    "\n"
    "Sets the reader mode, card clock and reset delay of a USB Corvane/SmartMouse\n"
    "interface from a small window.\n"
    "\n"
    "  --simulate [FILE]  try the window without hardware: every port opens the\n"
    "                     simulated interface; FILE is an optional JSON scenario\n"
    "                     (see usb-corvane(1))\n"
    "  --trace FILE       append a time-stamped log of the serial traffic to FILE\n"
    "  -h, --help         show this text\n"
    "  -V, --version      show the version\n";

}  // namespace

std::variant<WindowOptions, WindowExit> ParseWindowOptions(const QStringList& arguments, const std::string& version) {
  QCommandLineParser parser;
  const QCommandLineOption help({"h", "help"}, "");
  const QCommandLineOption versionOption({"V", "version"}, "");
  const QCommandLineOption simulate("simulate", "");
  const QCommandLineOption trace("trace", "", "FILE");
  parser.addOptions({help, versionOption, simulate, trace});

  const QString usage = "\nTry 'usb-corvane-config --help'.\n";
  if (!parser.parse(arguments)) return WindowExit{2, {}, "usb-corvane-config: " + parser.errorText().toStdString() + usage.toStdString()};
  if (parser.isSet(help)) return WindowExit{0, kHelp, {}};
  if (parser.isSet(versionOption)) return WindowExit{0, "usb-corvane-config " + version + "\n", {}};

  WindowOptions options;
  options.simulate = parser.isSet(simulate);
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1 || (!files.isEmpty() && !options.simulate)) {
    return WindowExit{2, {}, "usb-corvane-config: unexpected argument '" + files.constLast().toStdString() +
                                 "' (a scenario file follows --simulate)" + usage.toStdString()};
  }
  if (!files.isEmpty()) options.scenario = files.front().toStdString();
  if (parser.isSet(trace)) options.trace = parser.value(trace).toStdString();
  return options;
}
