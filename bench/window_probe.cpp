// Starts the window program's own start-up path, offscreen, and as soon as
// the window is shown prints the time since the process started and the
// peak memory, then closes it.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

#include "Unit1.h"
#include "port_table.h"
#include "services.h"

namespace {

// Seconds since this process started, from /proc (start time in clock ticks after boot).
double SecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  const double started = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - started;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QTemporaryDir settings;
  platform::Services services;
  services.registryMachineFolder = settings.path().toStdString() + "/m";
  services.registryUserFolder = settings.path().toStdString() + "/u";
  platform::InstallServices(services);
  QTimer::singleShot(0, [] {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("{\"shown_after_s\": %.4f, \"peak_rss_kib\": %ld, \"visible\": %s}\n", SecondsSinceProcessStart(),
                usage.ru_maxrss, Form1 != nullptr && Form1->isVisible() ? "true" : "false");
    std::fflush(stdout);
    if (Form1 != nullptr) Form1->close();
  });
  return RunProgram(application);
}
