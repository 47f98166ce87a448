// Measures a configuration run in real time against the emulator, with the
// real clock and the Qt pump, against the floor the protocol sets: the same
// run in virtual time, where only the waits, the read time-outs and the bytes
// at 9600 baud take time. Then the processor time of runs on the real serial
// code against a pseudo-terminal: a device that answers, one that is silent,
// one that floods the line, and one unplugged (the master closed) at each
// step. Prints one JSON object.
// Then the command line reading 16 MiB scenarios of several shapes, and
// setting 1, 4 and 16 pseudo-terminals at once.
//   bench [--window-probe PATH] [--suite-dir BUILD_DIR] [--cli PATH] [--runs N]
//         [--pty-interface PATH --break-signal PATH]
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

#include "Scom.h"
#include "Usb_corvaneinterface.h"
#include "Utils.h"
#include "clock.h"
#include "corvane_emulator.h"
#include "message_pump.h"
#include "port_table.h"
#include "services.h"
#include "pty_device.h"
#include "pty_pair.h"

namespace {

class Quiet final : public TStatusControl, public TProgressBar, public TResetDelayFlag {
 public:
  void SetText(const std::string& t) override { text = t; }
  void SetColor(TColor) override {}
  TColor ButtonFace() const override { return {}; }
  int Position() const override { return position; }
  void SetPosition(int p) override { position = p; }
  bool Ticked() const override { return true; }
  std::string text;
  int position = 0;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// The run's own thread: a flooding device's writer thread is not the run's.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

struct RunFigures {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  bool succeeded = false;
};

RunFigures RunOnce(const emulator::Bytes& entry) {
  SerialPort = TSerialPort();
  NextPumpTime = platform::MonoTime{};
  auto device = emulator::CorvaneEmulator::Create();
  device->entryReply = entry;
  platform::ports::MapEndpoint(1, device);
  Quiet window;
  RunWindow = {&window, &window};
  const double cpuBefore = CpuSeconds();
  const auto start = platform::CurrentClock().Now();
  RunFigures figures;
  figures.succeeded = SetInterfaceMode("SmartMouse", "3.58", 30, 1, window);
  figures.wallSeconds = std::chrono::duration<double>(platform::CurrentClock().Now() - start).count();
  figures.cpuSeconds = CpuSeconds() - cpuBefore;
  RunWindow = {};
  return figures;
}

double FloorSeconds(const emulator::Bytes& entry) {
  platform::VirtualClock clock;
  const platform::ScopedServices useClock([&](platform::Services& services) { services.clock = &clock; });
  RunOnce(entry);
  return std::chrono::duration<double>(clock.Elapsed()).count();
}

QJsonObject MeasureRun(const char* name, const emulator::Bytes& entry, int runs) {
  const double floor = FloorSeconds(entry);
  double wall = 0, cpu = 0, worst = 0;
  bool allSucceeded = true;
  for (int i = 0; i < runs; ++i) {
    const RunFigures figures = RunOnce(entry);
    wall += figures.wallSeconds;
    cpu += figures.cpuSeconds;
    worst = std::max(worst, figures.wallSeconds);
    allSucceeded = allSucceeded && figures.succeeded;
  }
  wall /= runs;
  cpu /= runs;
  return {{"device", name},
          {"runs", runs},
          {"succeeded", allSucceeded},
          {"floor_s", floor},
          {"wall_s", wall},
          {"worst_wall_s", worst},
          {"ratio_to_floor", wall / floor},
          {"cpu_s", cpu},
          {"cpu_share_of_wall", cpu / wall}};
}

struct PtyCase {
  const char* key;
  const char* device;
  std::optional<std::string> hangUpAt;
  bool silent = false;
  bool flood = false;
};

// Writes to the master as fast as the line takes it, until told to stop.
class Flood {
 public:
  explicit Flood(int master) : thread_([this, master] {
    const std::vector<unsigned char> block(256, 0x55);
    while (!stop_) {
      pollfd fd{master, POLLOUT, 0};
      if (::poll(&fd, 1, 10) == 1 && (fd.revents & POLLOUT) != 0) {
        [[maybe_unused]] const ssize_t n = ::write(master, block.data(), block.size());
      }
    }
  }) {}
  ~Flood() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

QJsonObject MeasurePty(const PtyCase& c, int runs) {
  double wall = 0, cpu = 0, worstShare = 0;
  int succeeded = 0;
  for (int i = 0; i < runs; ++i) {
    SerialPort = TSerialPort();
    testing_support::PtyPair pty;
    testing_support::PtyDevice device(pty);
    device.hangUpAt = c.hangUpAt;
    device.silent = c.silent || c.flood;
    const platform::ScopedServices useDevice([&](platform::Services& services) { services.systemCalls = &device; });
    platform::ports::MapDevice(2, pty.slavePath());
    std::optional<Flood> flood;
    if (c.flood) flood.emplace(pty.masterFd());
    Quiet window;
    RunWindow = {&window, &window};
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    succeeded += SetInterfaceMode("SmartMouse", "3.58", 30, 2, window) ? 1 : 0;
    const double runWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double runCpu = CpuSeconds() - cpuBefore;
    RunWindow = {};
    wall += runWall;
    cpu += runCpu;
    worstShare = std::max(worstShare, runCpu / runWall);
  }
  return {{"device", c.device},
          {"runs", runs},
          {"succeeded", succeeded},
          {"wall_s", wall / runs},
          {"cpu_s", cpu / runs},
          {"cpu_share_of_wall", cpu / wall},
          {"worst_cpu_share_of_wall", worstShare}};
}

}  // namespace

// A scenario file of 16 MiB at most: `head`, `piece` again and again, then
// `tail`, written in blocks so that this process's own peak, which the kernel
// also counts for the child it forks, stays small.
void WriteSixteenMebibytes(const QString& path, const QByteArray& head, const QByteArray& piece,
                           const QByteArray& tail) {
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(head);
  const QByteArray block = piece.repeated(16384 / static_cast<int>(piece.size()));
  while (file.size() + block.size() + tail.size() <= 16 * 1024 * 1024) file.write(block);
  file.write(tail);
}

// The command line reading a 16 MiB scenario of each shape, as its own
// process: wall time and peak memory, from its start to its refusal (or, for
// the one it accepts, to the port that refuses to open).
QJsonObject MeasureScenarios(const QString& cli) {
  struct Shape {
    const char* name;
    QByteArray head, piece, tail;
  };
  const Shape shapes[] = {{"deep", "", "[", ""},
                          {"flat", "[1", ",1", "]"},
                          {"long_text", R"({"open": "missing", "entry": ")", "00", "\"}"},
                          {"repeated_keys", "{", "\"card\": 0, ", "\"card\": 0}"}};
  const QString path = QDir::temp().filePath("bench-scenario.json");
  QJsonObject figures;
  for (const Shape& shape : shapes) {
    WriteSixteenMebibytes(path, shape.head, shape.piece, shape.tail);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      execl(cli.toLocal8Bit().constData(), "usb-corvane", "--mode", "corvane", "--simulate",
            path.toLocal8Bit().constData(), nullptr);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    QJsonObject one;
    one["wall_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    one["peak_rss_kib"] = static_cast<qint64>(usage.ru_maxrss);
    one["exit_status"] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    figures[shape.name] = one;
  }
  QFile::remove(path);
  return figures;
}

// The whole command's peak memory, every process of it counted at once: a
// memory cgroup of its own (v2's memory.peak, else v1's), where this machine
// lets the bench make one. A 16 MiB scenario whose entry reply is 8 MiB,
// played in full on 1 and on 4 simulated ports; null where unmeasured.
QJsonValue ScenarioPortsPeakKib(const QString& cli, int ports) {
  const QString path = QDir::temp().filePath("bench-entry-scenario.json");
  WriteSixteenMebibytes(path, R"({"entry": ")", "00", "\"}");
  const QString name = QString("usb-corvane-bench-%1").arg(::getpid());
  struct Layout {
    QString folder, peak;
  };
  const Layout layouts[] = {{"/sys/fs/cgroup/" + name, "memory.peak"},
                            {"/sys/fs/cgroup/memory/" + name, "memory.max_usage_in_bytes"}};
  QJsonValue figure;
  for (const Layout& layout : layouts) {
    // A folder that is no cgroup (a tmpfs where v2 is not mounted) has no peak.
    if (!QDir().mkdir(layout.folder)) continue;
    if (!QFile::exists(layout.folder + "/" + layout.peak)) {
      QDir().rmdir(layout.folder);
      continue;
    }
    std::vector<QByteArray> arguments = {"usb-corvane", "--mode=corvane", "--simulate=" + path.toLocal8Bit()};
    for (int port = 1; port <= ports; ++port) arguments.push_back("--port=" + QByteArray::number(port));
    std::vector<char*> argv;
    for (QByteArray& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray procs = (layout.folder + "/cgroup.procs").toLocal8Bit();
    const QByteArray program = cli.toLocal8Bit();
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      const int join = open(procs.constData(), O_WRONLY);
      if (join < 0 || write(join, "0", 1) != 1) _exit(126);
      close(join);
      execv(program.constData(), argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    QFile peak(layout.folder + "/" + layout.peak);
    if (WIFEXITED(status) && WEXITSTATUS(status) < 126 && peak.open(QIODevice::ReadOnly)) {
      figure = peak.readAll().trimmed().toLongLong() / 1024;
    }
    QDir().rmdir(layout.folder);
    break;
  }
  QFile::remove(path);
  return figure;
}

// The command line setting 1, 4 and 16 pseudo-terminals at once, each
// answered by its own simulated interface (pty_interface, told of the breaks
// by the break_signal library): the whole command's wall time against one
// run's floor, and its processor time with every run's, per port.
struct LineTools {
  QString cli, ptyInterface, breakSignal;
};

QJsonObject MeasureSeveralPorts(const LineTools& tools, int ports, int runs, double floor) {
  double wall = 0, cpu = 0, worst = 0;
  int succeeded = 0;
  for (int i = 0; i < runs; ++i) {
    const QString fifo = QDir::temp().filePath(QString("bench-breaks-%1").arg(::getpid()));
    QFile::remove(fifo);
    ::mkfifo(fifo.toLocal8Bit().constData(), 0600);
    QProcess interfaces;
    interfaces.start(tools.ptyInterface, {fifo, QString::number(ports)});
    QStringList slaves;
    while (slaves.size() < ports && interfaces.waitForReadyRead(10000)) {
      while (interfaces.canReadLine()) slaves << QString::fromLocal8Bit(interfaces.readLine().trimmed());
    }
    const QByteArray devices = slaves.join(':').toLocal8Bit();
    std::vector<QByteArray> arguments = {"usb-corvane", "--mode=smartmouse"};
    for (const QString& slave : slaves) arguments.push_back("--device=" + slave.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray cli = tools.cli.toLocal8Bit();
    const QByteArray fifoPath = fifo.toLocal8Bit();
    const QByteArray library = tools.breakSignal.toLocal8Bit();

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      setenv("PTY_BREAK_DEVICE", devices.constData(), 1);
      setenv("PTY_BREAK_FIFO", fifoPath.constData(), 1);
      setenv("LD_PRELOAD", library.constData(), 1);
      execv(cli.constData(), argv.data());
      _exit(127);
    }
    int status = 0;
    rusage usage{};  // the command's own and every run's it waited for
    wait4(child, &status, 0, &usage);
    const double runWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    wall += runWall;
    worst = std::max(worst, runWall);
    succeeded += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    interfaces.terminate();
    interfaces.waitForFinished(10000);
    QFile::remove(fifo);
  }
  wall /= runs;
  cpu /= runs;
  return {{"ports", ports},
          {"runs", runs},
          {"all_set", succeeded},
          {"single_port_floor_s", floor},
          {"wall_s", wall},
          {"worst_wall_s", worst},
          {"ratio_to_single_port_floor", wall / floor},
          {"cpu_s", cpu},
          {"cpu_per_port_share_of_wall", cpu / ports / wall}};
}

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QString probe, suiteDir, cli, ptyInterface, breakSignal;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--window-probe") probe = argv[i + 1];
    else if (flag == "--suite-dir") suiteDir = argv[i + 1];
    else if (flag == "--cli") cli = argv[i + 1];
    else if (flag == "--pty-interface") ptyInterface = argv[i + 1];
    else if (flag == "--break-signal") breakSignal = argv[i + 1];
    else if (flag == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
  }
  platform::QtMessagePump pump;
  platform::Services services;
  services.pump = &pump;
  services.machinePorts = false;  // only what a measurement maps opens
  platform::InstallServices(services);

  QJsonObject result;
  result["run_lone_ack"] = MeasureRun("entry answered with a lone 0x06", {0x06}, runs);
  result["run_five_bytes"] = MeasureRun("entry answered with five bytes", {0x06, 0x01, 0x02, 0x03, 0x04}, runs);

  const PtyCase ptyCases[] = {
      {"pty_answering", "answers every step", std::nullopt},
      {"pty_silent", "answers nothing", std::nullopt, true},
      {"pty_flooding", "floods the line with bytes", std::nullopt, false, true},
      {"pty_unplugged_in_break", "unplugged while the break is held", "entry"},
      {"pty_unplugged_at_version", "unplugged at the version query", "2A 41"},
      {"pty_unplugged_at_mode", "unplugged at the mode command", "2A 42"},
      {"pty_unplugged_at_reset_delay", "unplugged at the reset-delay command", "2A 44"},
  };
  for (const PtyCase& c : ptyCases) result[c.key] = MeasurePty(c, runs);

  if (!cli.isEmpty()) {
    result["scenario_16mib"] = MeasureScenarios(cli);
    for (const int ports : {1, 4}) {
      result[QString("scenario_16mib_played_on_%1_ports_peak_kib").arg(ports)] = ScenarioPortsPeakKib(cli, ports);
    }
  }
  if (!cli.isEmpty() && !ptyInterface.isEmpty() && !breakSignal.isEmpty()) {
    const double floor = FloorSeconds(emulator::CorvaneEmulator::Create()->entryReply);
    for (const int ports : {1, 4, 16}) {
      result[QString("cli_ptys_%1").arg(ports)] =
          MeasureSeveralPorts({cli, ptyInterface, breakSignal}, ports, runs, floor);
    }
  }
  if (!probe.isEmpty()) {
    QProcess window;
    window.start(probe, {});
    window.waitForFinished(30000);
    const QJsonObject shown = QJsonDocument::fromJson(window.readAllStandardOutput()).object();
    result["window_shown_after_s"] = shown.value("shown_after_s");
    result["window_peak_rss_kib"] = shown.value("peak_rss_kib");
    result["window_visible"] = shown.value("visible");
  }
  if (!suiteDir.isEmpty()) {
    QElapsedTimer timer;
    timer.start();
    QProcess suite;
    suite.start("ctest", {"--test-dir", suiteDir, "-j", QString::number(QThread::idealThreadCount())});
    suite.waitForFinished(600000);
    result["suite_s"] = timer.elapsed() / 1000.0;
    result["suite_passed"] = suite.exitStatus() == QProcess::NormalExit && suite.exitCode() == 0;
  }
  std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Indented).constData());
  return 0;
}
