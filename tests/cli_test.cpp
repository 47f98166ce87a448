// The command-line program as a user runs it: real processes, real time,
// the simulated interface or pseudo-terminals, never the machine's devices.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cctype>
#include <chrono>
#include <optional>
#include <set>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "Scom.h"
#include "fake_machine.h"
#include "options.h"
#include "port_table.h"
#include "process_state.h"
#include "pty_pair.h"
#include "run_targets.h"
#include "several_runs.h"

namespace {

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

Outcome RunCli(const QStringList& args, const QString& program = CLI_PROGRAM, QStringList prefix = {}) {
  QProcess process;
  process.setProgram(prefix.isEmpty() ? program : prefix.takeFirst());
  process.setArguments(prefix.isEmpty() ? args : prefix + QStringList{program} + args);
  process.start();
  process.waitForFinished(60000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

class CliTest : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return dir.path() + "/" + name; }
  void Write(const char* name, const QByteArray& text) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  testing_support::ProcessState state;
  QTemporaryDir dir;
};

TEST_F(CliTest, SimulatedRunPrintsTheStatusLinesAndTracesTheDialogue) {
  const Outcome run = RunCli({"--mode", "smartmouse", "--clock", "3.68", "--simulate", "--trace", Path("trace.log")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Wait Setting SmartMouse 3.68MHz.\n"
            "Firmware 1.0\n"
            "SmartMouse 3.68MHz set successfully\n"
            "The simulated interface was set to: mode SmartMouse, clock 3.68 MHz, reset delay enabled, "
            "final command received.\n");
  QFile trace(Path("trace.log"));
  ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
  const std::string log = trace.readAll().toStdString();
  for (const char* line : {" >*A[41]\r\n         < 2A 41 00 01 10 06", " >*B[42] 82\r\n         < 2A 42 82 06",
                           " >*D[44] 00\r\n         < 2A 44 00 06", " >*C[43]\r\n         < 2A 43 06"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nin\n" << log;
  }
}

#ifndef __SANITIZE_ADDRESS__
// 16 MiB of any shape is refused, or read, in bounded memory: the program's
// peak, as the kernel reports it. The kernel counts the peak of the process
// that forked too, so the files are written in pieces, never held whole.
TEST_F(CliTest, SixteenMebibyteScenariosOfAnyShapeStayUnderAHundredMegabytes) {
  constexpr int kPieces = 1024;  // of 16 KiB each
  auto write = [&](const std::string& head, const std::string& piece, const std::string& tail) {
    QFile file(Path("shape.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(head.c_str());
    const QByteArray block = QByteArray::fromStdString(piece).repeated(16384 / static_cast<int>(piece.size()));
    for (int i = 0; i < kPieces - 1; ++i) file.write(block);
    file.write(tail.c_str());
  };
  struct Shape {
    const char* name;
    std::string head, piece, tail;
    int exitCode;  // 2: refused; 1: accepted, and the port then refuses to open or the interface to answer
  };
  for (const Shape& shape : {Shape{"deep", "", "[", "", 2}, Shape{"flat", "[1", ",1", "]", 2},
                             Shape{"long", R"({"open": "missing", "entry": ")", "00", "\"}", 1},
                             Shape{"keys", "{", "\"card\": 0, ", "\"card\": 0}", 2},
                             Shape{"played", R"({"entry": ")", "00", "\"}", 1}}) {
    write(shape.head, shape.piece, shape.tail);
    const std::string path = Path("shape.json").toStdString();
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      execl(CLI_PROGRAM, CLI_PROGRAM, "--mode", "corvane", "--simulate", path.c_str(), nullptr);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == shape.exitCode) << shape.name << ": status " << status;
    EXPECT_LT(usage.ru_maxrss, 100 * 1000) << shape.name << ": peak in kB";
  }
}
#endif

// The trace's opening line in the forms of the locale the user runs under.
TEST_F(CliTest, TraceHeaderFollowsTheLocaleOfTheEnvironment) {
  const std::string locales = dir.path().toStdString();
  if (std::system(("localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8'").c_str()) != 0) {
    GTEST_SKIP() << "localedef cannot build de_DE";
  }
  QProcess run;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LOCPATH", QString::fromStdString(locales));
  environment.insert("LC_ALL", "de_DE.UTF-8");
  run.setProcessEnvironment(environment);
  run.start(CLI_PROGRAM, {"--mode", "corvane", "--simulate", "--trace", Path("trace.log")});
  ASSERT_TRUE(run.waitForFinished(60000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  QFile trace(Path("trace.log"));
  ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
  // "\r\n\r\n10.12.2026 05:25:08\r\n": German dates are day.month.year.
  const QString header = QString::fromUtf8(trace.readAll()).split("\r\n").value(2);
  EXPECT_TRUE(QRegularExpression(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d$)").match(header).hasMatch())
      << header.toStdString();
}

TEST_F(CliTest, ScenarioWithAWrongAcknowledgeFails) {
  Write("wrong-ack.json", R"({"replies": {"2A 42": "2A 42 01 15"}, "version": [1, 5]})");
  const Outcome run = RunCli({"--mode", "corvane", "--simulate", Path("wrong-ack.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "Wait Setting Corvane 3.58MHz.\nFirmware 1.5\n"
            "The simulated interface was not configured: it refused mode Corvane, clock 3.58 MHz.\n");
  EXPECT_EQ(run.err, "Error setting Corvane mode.\n");
}

TEST_F(CliTest, AdapterPulledOutMidRunIsExplained) {
  Write("unplug.json", R"({"faults": {"2A 42": "unplugged-in-reply"}})");
  const Outcome run = RunCli({"--mode", "corvane", "--simulate", Path("unplug.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "Wait Setting Corvane 3.58MHz.\nFirmware 1.0\n"
            "The simulated interface was set to: mode Corvane, clock 3.58 MHz, no final command.\n");
  EXPECT_EQ(run.err, "Error setting Corvane mode.\nusb-corvane: simulated interface disappeared (was the adapter unplugged?).\n");
}

// A trace that cannot be written costs the log, never the run: the run ends
// as it would have, and the reason is said on standard error afterwards.
struct BrokenTrace {
  const char* name;
  const char* reason;
};

class CliBrokenTraceTest : public CliTest, public ::testing::WithParamInterface<BrokenTrace> {};

TEST_P(CliBrokenTraceTest, IsReportedAfterTheRunWithoutChangingItsOutcome) {
  const std::string name = GetParam().name;
  QString trace = Path("folder-that-is-missing/trace.log");
  if (name == "Directory") trace = dir.path();
  if (name == "FullDevice") trace = "/dev/full";
  if (name == "PipeWithoutReader") {
    trace = Path("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(trace).constData(), 0600), 0);
  }
  // An interface that refuses the entry: the shortest run that writes a trace.
  Write("refuses.json", R"({"entry": "15"})");
  const Outcome run = RunCli({"--mode", "corvane", "--simulate", Path("refuses.json"), "--trace", trace});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "Wait Setting Corvane 3.58MHz.\nThe simulated interface was not configured.\n");
  EXPECT_EQ(run.err, "Error setting Corvane mode.\nusb-corvane: trace " + trace.toStdString() + ": " + GetParam().reason + "\n");
}

INSTANTIATE_TEST_SUITE_P(Traces, CliBrokenTraceTest,
                         ::testing::Values(BrokenTrace{"MissingFolder", "No such file or directory"},
                                           BrokenTrace{"Directory", "Is a directory"},
                                           BrokenTrace{"FullDevice", "No space left on device"},
                                           BrokenTrace{"PipeWithoutReader", "No such device or address"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, TracePipeWhoseReaderLeavesIsReportedAndTheRunGoesOn) {
  const QString trace = Path("fifo");
  ASSERT_EQ(mkfifo(QFile::encodeName(trace).constData(), 0600), 0);
  const int reader = ::open(QFile::encodeName(trace).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  QProcess run;
  run.start(CLI_PROGRAM, {"--mode", "smartmouse", "--simulate", "--trace", trace});
  // Read the opening header as it comes, then leave.
  pollfd fd{reader, POLLIN, 0};
  ASSERT_EQ(::poll(&fd, 1, 10000), 1);
  char header[64];
  EXPECT_GT(::read(reader, header, sizeof header), 0);
  ::close(reader);
  ASSERT_TRUE(run.waitForFinished(20000));
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(run.readAllStandardError().toStdString(), "usb-corvane: trace " + trace.toStdString() + ": Broken pipe\n");
}

TEST_F(CliTest, BadArgumentsExitWithTwoAndOpenNothing) {
  const Outcome run = RunCli({"--mode", "corvane", "--clock", "5", "--simulate", "--trace", Path("t.log")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "usb-corvane: --clock '5' is not one of: 3.58, 3.68, 6.00\n"
                     "Try 'usb-corvane --help' for more information.\n");
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(QFile::exists(Path("t.log")));
}

TEST_F(CliTest, BadScenarioExitsWithTwoNamingTheKey) {
  Write("bad.json", R"({"entry": "06", "speed": 9600})");
  const Outcome run = RunCli({"--mode", "corvane", "--simulate", Path("bad.json")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("unknown key \"speed\""), std::string::npos) << run.err;
}

// --json: standard output is one JSON array with the run's outcome, whatever
// the outcome; the exit status is the run's.
struct JsonCase {
  const char* name;
  QStringList target;
  const char* result;
  QJsonValue failedStep;
  QJsonValue firmware;
  int exitCode;
  const char* device;
};

class CliJsonTest : public CliTest, public ::testing::WithParamInterface<JsonCase> {};

TEST_P(CliJsonTest, ReportsTheOutcomeAsData) {
  Write("refusing.json", R"({"replies": {"2A 42": "2A 42 01 15"}})");
  Write("card.json", R"({"card": -1})");
  QStringList target = GetParam().target;
  target.replaceInStrings("REFUSING", Path("refusing.json"));
  target.replaceInStrings("CARD", Path("card.json"));
  const Outcome run = RunCli(QStringList{"--mode", "smartmouse", "--json"} + target);
  EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  ASSERT_EQ(document.array().size(), 1);
  const QJsonObject port = document.array().first().toObject();
  EXPECT_EQ(port.keys(), (QStringList{"clock", "device", "ended", "explanation", "failed_step", "firmware", "identity",
                                      "mode", "port", "reset_delay", "result", "started"}));
  EXPECT_EQ(port["result"].toString(), GetParam().result);
  EXPECT_EQ(port["failed_step"], GetParam().failedStep);
  EXPECT_EQ(port["firmware"], GetParam().firmware);
  EXPECT_EQ(port["mode"].toString(), "SmartMouse");
  EXPECT_EQ(port["device"].toString(), GetParam().device);
  EXPECT_EQ(port["explanation"].isNull(), std::string(GetParam().result) != "not opened");
  EXPECT_LE(port["started"].toString(), port["ended"].toString());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CliJsonTest,
    ::testing::Values(JsonCase{"Set", {"--simulate"}, "set", QJsonValue(), "1.0", 0, "simulated interface"},
                      JsonCase{"SimulatedDevice", {"--simulate", "--device", "/nonexistent/ttyUSB7"}, "set",
                               QJsonValue(), "1.0", 0, "/nonexistent/ttyUSB7"},
                      JsonCase{"Refused", {"--simulate=REFUSING"}, "not acknowledged", "mode", "1.0", 1,
                               "simulated interface"},
                      JsonCase{"CardLeftIn", {"--simulate=CARD", "--tries=0"}, "card not removed", "card wait",
                               QJsonValue(), 1, "simulated interface"},
                      JsonCase{"NotOpened", {"--device", "/nonexistent/ttyUSB9"}, "not opened", "open", QJsonValue(), 1,
                               "/nonexistent/ttyUSB9"}),
    [](const auto& info) { return std::string(info.param.name); });

// A scenario through a pipe serves every port: the command reads it once
// and hands it to each run.
TEST_F(CliTest, ScenarioThroughAPipeServesEveryPort) {
  QProcess run;
  run.start(CLI_PROGRAM, {"--mode", "corvane", "--json", "--simulate=/dev/stdin", "--port", "1", "--port", "2"});
  run.write(R"({"version": [2, 3]})");
  run.closeWriteChannel();
  ASSERT_TRUE(run.waitForFinished(20000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  const QJsonArray reports = QJsonDocument::fromJson(run.readAllStandardOutput()).array();
  ASSERT_EQ(reports.size(), 2);
  for (const QJsonValue report : reports) EXPECT_EQ(report.toObject()["firmware"].toString(), "2.3");
}

// A name with a newline stays on its message's one line, quoted.
TEST_F(CliTest, NamesThatWouldSplitAMessageAreQuoted) {
  const Outcome scenario = RunCli({"--mode", "corvane", "--simulate=/nonexistent/a\nb.json"});
  EXPECT_EQ(scenario.err.substr(0, scenario.err.find('\n')),
            "usb-corvane: --simulate: cannot read '/nonexistent/a\\nb.json': No such file or directory");
  const Outcome device = RunCli({"--mode", "corvane", "--device", "/nonexistent/tty\nUSB9"});
  EXPECT_EQ(device.err, "Could not open comport!\nusb-corvane: No such device: '/nonexistent/tty\\nUSB9' does not "
                        "exist (is the adapter plugged in?).\n");
}

TEST_F(CliTest, MissingDeviceIsExplained) {
  const Outcome run = RunCli({"--mode", "corvane", "--device", "/nonexistent/ttyUSB9"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_EQ(run.err,
            "Could not open comport!\nusb-corvane: No such device: /nonexistent/ttyUSB9 does not exist (is the adapter "
            "plugged in?).\n");
}

TEST_F(CliTest, DeviceInUseNamesTheHolder) {
  testing_support::PtyPair pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals";
  platform::ports::MapDevice(1, pty.slavePath());
  ASSERT_TRUE(SerialPort.Open(1, 9600, 8, ONESTOPBIT, NOPARITY, false));
  const Outcome run = RunCli({"--mode", "corvane", "--device", QString::fromStdString(pty.slavePath())});
  SerialPort.Close();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Could not open comport!\nusb-corvane: " + pty.slavePath() + " is in use by another program: " +
                         QCoreApplication::applicationName().left(15).toStdString() + " (process " +
                         std::to_string(getpid()) + ").\n");
}

// Permission denied names the group only when the group may use the device.
struct PermissionCase {
  mode_t mode;
  const char* explanation;  // after "Permission denied on <device>"
};

class CliPermissionTest : public CliTest, public ::testing::WithParamInterface<PermissionCase> {};

TEST_P(CliPermissionTest, ExplainsWhatWouldHelp) {
  testing_support::PtyPair pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals";
  // Only another user is refused: root runs the program as nobody.
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs root and setpriv";
  const QStringList asNobody = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  QTemporaryDir reachable;  // under /tmp: the build folder may be closed to other users
  const QString program = reachable.path() + "/usb-corvane";
  ASSERT_TRUE(QFile::copy(CLI_PROGRAM, program));
  ASSERT_EQ(chmod(QFile::encodeName(reachable.path()).constData(), 0755), 0);
  ASSERT_EQ(chmod(QFile::encodeName(program).constData(), 0755), 0);
  const group* dialout = getgrnam("dialout");
  if (dialout == nullptr) GTEST_SKIP() << "no group dialout on this machine";
  ASSERT_EQ(chown(pty.slavePath().c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(chmod(pty.slavePath().c_str(), GetParam().mode), 0);

  const Outcome run =
      RunCli({"--mode", "corvane", "--device", QString::fromStdString(pty.slavePath())}, program, asNobody);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.err, "Could not open comport!\nusb-corvane: Permission denied on " + pty.slavePath() + GetParam().explanation + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CliPermissionTest,
    ::testing::Values(PermissionCase{0660, ": members of the group 'dialout' may use it; join it with: sudo usermod "
                                           "-aG dialout $USER, then log in again."},
                      PermissionCase{0600, ": it belongs to root and the group 'dialout' with mode 0600, so no group "
                                           "of yours may use it. A udev rule can give it to the group dialout with "
                                           "mode 0660 (see the README), or run as root."}));

// --- interrupted runs: Ctrl-C, a termination, a hang-up of the terminal

// Starts the program and returns once it has printed `line`.
void StartUntil(QProcess& process, const QStringList& args, const std::string& line) {
  process.start(CLI_PROGRAM, args);
  std::string seen;
  while (seen.find(line) == std::string::npos && process.waitForReadyRead(10000)) {
    seen += process.readAllStandardOutput().toStdString();
  }
  ASSERT_NE(seen.find(line), std::string::npos) << seen;
}

// The line given back as it was found: its speed and local modes as before,
// and free for the next program to open.
void ExpectLineAsFound(const testing_support::PtyPair& pty, const termios& before) {
  termios after{};
  ASSERT_EQ(tcgetattr(pty.masterFd(), &after), 0);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << pty.slavePath();
  EXPECT_EQ(after.c_lflag, before.c_lflag) << pty.slavePath();
  platform::ports::MapDevice(1, pty.slavePath());
  EXPECT_TRUE(SerialPort.Open(1, 9600, 8, ONESTOPBIT, NOPARITY, false)) << pty.slavePath();
  SerialPort.Close();
}

struct Interruption {
  int signal;
  const char* name;
};

class CliInterruptTest : public CliTest, public ::testing::WithParamInterface<Interruption> {};

// In the break, on a real terminal line: the run stops at once, and the line
// is given back with its settings as found, free for the next program.
TEST_P(CliInterruptTest, InTheBreakReleasesThePortAsFound) {
  testing_support::PtyPair pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals";
  termios before{};
  ASSERT_EQ(tcgetattr(pty.masterFd(), &before), 0);
  QProcess run;
  StartUntil(run, {"--mode", "smartmouse", "--device", QString::fromStdString(pty.slavePath())},
             "Wait Setting SmartMouse 3.58MHz.");
  const auto signalled = std::chrono::steady_clock::now();
  ::kill(static_cast<pid_t>(run.processId()), GetParam().signal);
  ASSERT_TRUE(run.waitForFinished(10000));
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
  // It dies by the signal after cleaning up, so that a calling shell stops too.
  EXPECT_EQ(run.exitStatus(), QProcess::CrashExit);
  EXPECT_EQ(run.exitCode(), GetParam().signal);
  EXPECT_EQ(run.readAllStandardError().toStdString(),
            std::string("usb-corvane: interrupted by ") + GetParam().name +
                "; the break was cleared and the port released.\n");
  ExpectLineAsFound(pty, before);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliInterruptTest,
                         ::testing::Values(Interruption{SIGINT, "SIGINT"}, Interruption{SIGTERM, "SIGTERM"},
                                           Interruption{SIGHUP, "SIGHUP"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, InterruptedInTheCardWaitAndInAnExchange) {
  Write("card.json", R"({"card": -1})");
  Write("slow.json", R"({"delays": {"2A 42": 3000}})");
  for (const auto& [scenario, line] : {std::pair{"card.json", "Please remove card from card slot."},
                                       std::pair{"slow.json", "Firmware 1.0"}}) {
    QProcess run;
    StartUntil(run, {"--mode", "corvane", "--simulate", Path(scenario)}, line);
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitStatus(), QProcess::CrashExit) << scenario;
    EXPECT_EQ(run.exitCode(), SIGTERM) << scenario;
  }
}

// A reader of the output that goes away (| head -1) does not end the run
// half-way: the interface is still set to the end.
TEST_F(CliTest, ReaderThatLeavesDoesNotCutTheRunShort) {
  QProcess run;
  StartUntil(run, {"--mode", "smartmouse", "--simulate", "--trace", Path("trace.log")}, "Wait Setting");
  run.closeReadChannel(QProcess::StandardOutput);
  ASSERT_TRUE(run.waitForFinished(20000));
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(run.exitCode(), 0);
  QFile trace(Path("trace.log"));
  ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
  EXPECT_NE(trace.readAll().indexOf(">*C[43]"), -1);  // the final command went out
}

// Output that cannot be written is a failure, said once after everything
// else, and never cuts the dialogue short.
TEST_F(CliTest, FullStandardOutputEndsWithOneAndAMessage) {
  const QString trace = Path("trace.log");
  for (const QStringList& args : {QStringList{"--help"}, QStringList{"--version"}, QStringList{"--list-ports"},
                                  QStringList{"--mode", "smartmouse", "--simulate", "--trace", trace}}) {
    QProcess process;
    process.setStandardOutputFile("/dev/full");
    process.start(CLI_PROGRAM, args);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1) << args.join(' ').toStdString();
    EXPECT_EQ(process.readAllStandardError().toStdString(), "usb-corvane: standard output: No space left on device\n");
  }
  QFile log(trace);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_NE(log.readAll().indexOf(">*C[43]"), -1);  // the run went to its end
}

// What a terminal keeps after the program has drawn on it: carriage returns,
// erase-to-end, moves up and down and colour codes applied, and a line that
// reaches the last of `columns` wrapped.
std::vector<std::string> ScrollBack(const std::string& bytes, std::size_t columns = 0) {
  std::vector<std::string> lines(1);
  std::size_t row = 0, column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      if (++row == lines.size()) lines.emplace_back();
      column = 0;
    } else if (c == '\033' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      std::size_t end = i + 2;
      while (end < bytes.size() && !std::isalpha(static_cast<unsigned char>(bytes[end]))) ++end;
      const std::size_t count = std::max(1, std::atoi(bytes.substr(i + 2, end - i - 2).c_str()));
      if (end < bytes.size() && bytes[end] == 'K') lines[row].resize(column);
      if (end < bytes.size() && bytes[end] == 'A') row -= std::min(row, count);
      if (end < bytes.size() && bytes[end] == 'B') row = std::min(row + count, lines.size() - 1);
      i = end;
    } else {
      if (columns != 0 && column == columns) {
        if (++row == lines.size()) lines.emplace_back();
        column = 0;
      }
      std::string& line = lines[row];
      if (column < line.size()) {
        line[column] = c;
      } else {
        line.resize(column, ' ');
        line += c;
      }
      ++column;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// The program run with both outputs on one pseudo-terminal of `size`, as in
// a shell, under the environment's `settings` ("TERM=xterm"): its exit code
// and every byte it drew. Nothing without pseudo-terminals.
struct TerminalRun {
  int exitCode = -1;
  std::string bytes;
};
std::optional<TerminalRun> RunOnTerminal(const QStringList& args, const QStringList& settings,
                                         winsize size = {24, 80, 0, 0}) {
  testing_support::PtyPair pty;
  const int terminal = pty.ok() ? ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
  if (terminal < 0) return std::nullopt;
  ::ioctl(terminal, TIOCSWINSZ, &size);
  QProcess run;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("NO_COLOR");
  for (const QString& setting : settings) environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
  run.setProcessEnvironment(environment);
  run.setChildProcessModifier([terminal] {
    ::dup2(terminal, STDOUT_FILENO);
    ::dup2(terminal, STDERR_FILENO);
  });
  run.start(CLI_PROGRAM, args);
  run.waitForFinished(20000);
  ::close(terminal);
  TerminalRun result{run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1, {}};
  char buffer[4096];
  for (ssize_t got; (got = ::read(pty.masterFd(), buffer, sizeof buffer)) > 0;) result.bytes.append(buffer, got);
  return result;
}

struct TerminalCase {
  const char* name;
  QStringList environment;
  bool styled;
  friend void PrintTo(const TerminalCase& c, std::ostream* os) { *os << c.name; }
};

class CliTerminalTest : public CliTest, public ::testing::WithParamInterface<TerminalCase> {};

// On a terminal, both outputs on one pseudo-terminal as in a shell.
TEST_P(CliTerminalTest, KeepsOneCleanLinePerStatus) {
  Write("refuses.json", R"({"replies": {"2A 44": "2A 44 00 15"}})");
  const auto run = RunOnTerminal({"--mode", "smartmouse", "--simulate", Path("refuses.json")}, GetParam().environment);
  if (!run) GTEST_SKIP() << "no pseudo-terminals";
  EXPECT_EQ(run->exitCode, 1);
  const std::string& bytes = run->bytes;

  const std::string pad = GetParam().styled ? " " : "";
  const std::vector<std::string> expected = {
      pad + "Wait Setting SmartMouse 3.58MHz." + pad, pad + "Firmware 1.0" + pad,
      pad + "Error setting SmartMouse mode." + pad,
      "The simulated interface was set to: mode SmartMouse, clock 3.58 MHz, no final command. It refused reset "
      "delay enabled."};
  EXPECT_EQ(ScrollBack(bytes), expected) << bytes;
  EXPECT_EQ(bytes.find('\033') != std::string::npos, GetParam().styled) << bytes;
  EXPECT_EQ(bytes.find("[#") != std::string::npos, GetParam().styled) << bytes;  // the bar, while it ran
}

INSTANTIATE_TEST_SUITE_P(Environments, CliTerminalTest,
                         ::testing::Values(TerminalCase{"Xterm", {"TERM=xterm"}, true},
                                           TerminalCase{"NoColor", {"TERM=xterm", "NO_COLOR=1"}, false},
                                           TerminalCase{"Dumb", {"TERM=dumb"}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Several ports on a terminal: one line each, redrawn in place, the summary
// under them.
TEST_F(CliTest, SeveralPortsKeepOneLineEachOnATerminal) {
  const auto run = RunOnTerminal({"--mode", "corvane", "--simulate", "--port", "7", "--port", "12"}, {"TERM=xterm"});
  if (!run) GTEST_SKIP() << "no pseudo-terminals";
  EXPECT_EQ(run->exitCode, 0);
  const std::string& bytes = run->bytes;
  const std::vector<std::string> screen = ScrollBack(bytes);
  ASSERT_EQ(screen.size(), 5u) << bytes;
  EXPECT_EQ(screen[0], "port 7    Corvane 3.58MHz set successfully ");
  EXPECT_EQ(screen[1], "port 12   Corvane 3.58MHz set successfully ");
  EXPECT_EQ(screen[4], "2 of 2 ports set.");
}

struct BoardCase {
  const char* name;
  unsigned short rows, columns;
  bool redrawn;
  friend void PrintTo(const BoardCase& c, std::ostream* os) { *os << c.name; }
};

class CliBoardTest : public CliTest, public ::testing::WithParamInterface<BoardCase> {};

// Two devices whose paths end alike, and a port: each line tells its port
// apart, fits the terminal and ends with its outcome; a terminal that does
// not say its size gets plain lines.
TEST_P(CliBoardTest, NamesEachPortAndKeepsItsOutcomeInSight) {
  const QString byPath = "/nonexistent/serial/by-path/pci-0000:00:%1.0-usb-0:1:1.0-port0";
  const auto run = RunOnTerminal({"--mode", "corvane", "--simulate", "--port", "7", "--device", byPath.arg(14),
                                  "--device", byPath.arg(15)},
                                 {"TERM=xterm"}, {GetParam().rows, GetParam().columns, 0, 0});
  if (!run) GTEST_SKIP() << "no pseudo-terminals";
  EXPECT_EQ(run->exitCode, 0);
  EXPECT_EQ(run->bytes.find("\033[") != std::string::npos, GetParam().redrawn) << run->bytes;
  const std::vector<std::string> screen = ScrollBack(run->bytes, GetParam().columns);
  ASSERT_GE(screen.size(), 4u) << run->bytes;
  EXPECT_EQ(screen.back(), "3 of 3 ports set.");
  // Redrawn: one line each at the top, none wrapped, in the outcome's colour
  // however much of its text fits. Plain: a line for each outcome.
  std::set<std::string> labels;
  for (std::size_t row = 0; row < screen.size(); ++row) {
    const std::string& line = screen[row];
    if (GetParam().redrawn && row < 3) {
      EXPECT_NE(line.find("  Corvane 3."), std::string::npos) << run->bytes;
      labels.insert(line.substr(0, line.find("  ")));
    } else if (!GetParam().redrawn && line.find("set successfully") != std::string::npos) {
      labels.insert(line.substr(0, line.find(": ")));
    }
  }
  EXPECT_EQ(labels.size(), 3u) << run->bytes;
}

INSTANTIATE_TEST_SUITE_P(Terminals, CliBoardTest,
                         ::testing::Values(BoardCase{"Wide", 24, 80, true}, BoardCase{"Narrow", 24, 40, true},
                                           BoardCase{"NoSize", 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- several ports at once

// The simulated interface behind `count` pseudo-terminals of their own, and
// the environment that tells it when the program sets and clears a break.
class PtyInterfaces {
 public:
  PtyInterfaces(const QString& folder, int count) : fifo_(folder + "/breaks") {
    if (::mkfifo(fifo_.toLocal8Bit().constData(), 0600) != 0) return;
    process_.start(PTY_INTERFACE, {fifo_, QString::number(count)});
    while (static_cast<int>(slaves.size()) < count && process_.waitForReadyRead(10000)) {
      while (process_.canReadLine()) slaves.push_back(process_.readLine().trimmed().toStdString());
    }
  }
  ~PtyInterfaces() {
    process_.terminate();
    process_.waitForFinished(10000);
  }
  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QStringList devices;
    for (const std::string& slave : slaves) devices << QString::fromStdString(slave);
    environment.insert("PTY_BREAK_DEVICE", devices.join(':'));
    environment.insert("PTY_BREAK_FIFO", fifo_);
    environment.insert("LD_PRELOAD", BREAK_SIGNAL);
    // The library comes before the sanitizers' runtime in a sanitized build.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    return environment;
  }
  std::vector<std::string> slaves;

 private:
  QString fifo_;
  QProcess process_;
};

// The processes whose arguments name `folder` (a test's own, in their trace)
// and `also`: this test's runs, not another test's on a pty of the same
// number. An ended process, its arguments gone, is not among them.
std::vector<pid_t> ProcessesNaming(const QString& folder, const QString& also = {}) {
  std::vector<pid_t> found;
  for (const QString& process : QDir("/proc").entryList(QDir::Dirs)) {
    QFile commandLine("/proc/" + process + "/cmdline");
    if (!commandLine.open(QIODevice::ReadOnly)) continue;
    const QByteArray arguments = commandLine.readAll();
    if (arguments.contains(folder.toUtf8()) && arguments.contains(also.toUtf8())) found.push_back(process.toInt());
  }
  return found;
}

// Reads the process's standard error until `line` has come.
bool ErrorUntil(QProcess& process, std::string& seen, const std::string& line) {
  process.setReadChannel(QProcess::StandardError);
  while (seen.find(line) == std::string::npos && process.waitForReadyRead(10000)) {
    seen += process.readAllStandardError().toStdString();
  }
  return seen.find(line) != std::string::npos;
}

struct PortOutcome {
  const char* result;
  const char* failedStep;  // null: none
  bool firmware;
  bool explained;
};

// Five ports at once: two interfaces that answer, one line that is silent,
// one unplugged mid-run, one device that does not exist. Each has its own
// outcome and trace; the others never notice.
TEST_F(CliTest, SeveralPortsEachWithItsOwnOutcome) {
  PtyInterfaces interfaces(dir.path(), 2);
  testing_support::PtyPair silent, unplugged;
  ASSERT_EQ(interfaces.slaves.size(), 2u);
  ASSERT_TRUE(silent.ok() && unplugged.ok());
  const std::vector<std::string> devices = {interfaces.slaves[0], interfaces.slaves[1], silent.slavePath(),
                                            unplugged.slavePath(), Path("ttyMissing").toStdString()};
  QStringList args = {"--mode", "smartmouse", "--json", "--trace", Path("t.log")};
  for (const std::string& device : devices) args << "--device" << QString::fromStdString(device);
  QProcess run;
  run.setProcessEnvironment(interfaces.Environment());
  run.start(CLI_PROGRAM, args);
  std::string status;
  ASSERT_TRUE(ErrorUntil(run, status, unplugged.slavePath() + ": Wait Setting SmartMouse 3.58MHz.")) << status;
  unplugged.CloseMaster();
  ASSERT_TRUE(run.waitForFinished(30000));
  status += run.readAllStandardError().toStdString();
  EXPECT_EQ(run.exitCode(), 1) << status;
  EXPECT_NE(status.find("2 of 5 ports set."), std::string::npos) << status;

  const QJsonArray reports = QJsonDocument::fromJson(run.readAllStandardOutput()).array();
  ASSERT_EQ(reports.size(), 5);
  const PortOutcome expected[] = {{"set", nullptr, true, false},
                                  {"set", nullptr, true, false},
                                  {"not acknowledged", "entry", false, false},
                                  {"not acknowledged", "entry", false, true},
                                  {"not opened", "open", false, true}};
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const QJsonObject report = reports[static_cast<int>(i)].toObject();
    SCOPED_TRACE(devices[i]);
    EXPECT_EQ(report["device"].toString().toStdString(), devices[i]);
    EXPECT_EQ(report["result"].toString().toStdString(), expected[i].result);
    EXPECT_EQ(report["failed_step"].isNull(), expected[i].failedStep == nullptr);
    EXPECT_EQ(report["failed_step"].toString().toStdString(), expected[i].failedStep ? expected[i].failedStep : "");
    EXPECT_EQ(report["firmware"].isString(), expected[i].firmware);
    EXPECT_EQ(report["explanation"].isString(), expected[i].explained);
    // One trace per port, the device's name before the extension.
    // (A line that never answered has nothing to trace.)
    QFile trace(Path("t-") + QFileInfo(QString::fromStdString(devices[i])).fileName() + ".log");
    trace.open(QIODevice::ReadOnly);
    EXPECT_EQ(trace.readAll().count(">*C[43]"), i < 2 ? 1 : 0);
  }
}

// A termination of the command alone reaches every run: each clears its
// break and gives its line back as found, and none is left running.
TEST_F(CliTest, StoppedWithSeveralPortsStopsEveryRun) {
  testing_support::PtyPair first, second;
  if (!first.ok() || !second.ok()) GTEST_SKIP() << "no pseudo-terminals";
  termios before{};
  ASSERT_EQ(tcgetattr(first.masterFd(), &before), 0);
  const auto slaves = {QString::fromStdString(first.slavePath()), QString::fromStdString(second.slavePath())};
  QProcess run;
  // The trace, in this test's own folder, marks the processes of this run.
  run.start(CLI_PROGRAM, {"--mode", "corvane", "--json", "--trace", Path("t.log"), "--device", *slaves.begin(),
                          "--device", *(slaves.begin() + 1)});
  std::string status;
  for (const QString& slave : slaves) ASSERT_TRUE(ErrorUntil(run, status, slave.toStdString() + ": Wait Setting"));
  ::kill(static_cast<pid_t>(run.processId()), SIGINT);
  ASSERT_TRUE(run.waitForFinished(10000));
  EXPECT_EQ(run.exitStatus(), QProcess::CrashExit);
  EXPECT_EQ(run.exitCode(), SIGINT);
  for (const QJsonValue report : QJsonDocument::fromJson(run.readAllStandardOutput()).array()) {
    EXPECT_EQ(report.toObject()["result"].toString(), "stopped");
  }
  for (testing_support::PtyPair* pty : {&first, &second}) ExpectLineAsFound(*pty, before);
  EXPECT_TRUE(ProcessesNaming(dir.path()).empty());
}

// The command killed outright: every run it started ends within a second,
// as on a termination, and its line is free for the next program.
TEST_F(CliTest, KilledCommandLeavesNoRunBehind) {
  testing_support::PtyPair first, second;
  if (!first.ok() || !second.ok()) GTEST_SKIP() << "no pseudo-terminals";
  termios before{};
  ASSERT_EQ(tcgetattr(first.masterFd(), &before), 0);
  QProcess run;
  run.start(CLI_PROGRAM, {"--mode", "corvane", "--json", "--trace", Path("t.log"), "--device",
                          QString::fromStdString(first.slavePath()), "--device",
                          QString::fromStdString(second.slavePath())});
  std::string status;
  for (auto* pty : {&first, &second}) ASSERT_TRUE(ErrorUntil(run, status, pty->slavePath() + ": Wait Setting"));
  std::vector<int> ends;  // a pidfd of each run: readable once it has ended
  for (const pid_t pid : ProcessesNaming(dir.path(), "--events")) {
    ends.push_back(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  }
  ASSERT_EQ(ends.size(), 2u);
  ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  for (const int end : ends) {
    ASSERT_GE(end, 0);
    pollfd ended{end, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    EXPECT_EQ(::poll(&ended, 1, static_cast<int>(std::max<long long>(left.count(), 0))), 1);
    ::close(end);
  }
  run.waitForFinished(10000);
  for (auto* pty : {&first, &second}) ExpectLineAsFound(*pty, before);
}

// A run that dies is no stopped run: it failed, with how it ended and the
// step it had reached.
TEST_F(CliTest, RunThatDiesIsReportedFailedAtItsLastStep) {
  Write("card.json", R"({"card": -1})");
  QProcess run;
  run.start(CLI_PROGRAM, {"--mode", "corvane", "--json", "--tries", "1", "--trace", Path("t.log"), "--simulate",
                          Path("card.json"), "--port", "1", "--port", "2"});
  std::string status;
  ASSERT_TRUE(ErrorUntil(run, status, "port 2: Please remove card"));
  for (const pid_t pid : ProcessesNaming(dir.path(), "--port=2")) ::kill(pid, SIGKILL);
  ASSERT_TRUE(run.waitForFinished(20000));
  EXPECT_EQ(run.exitCode(), 1);
  const QJsonArray reports = QJsonDocument::fromJson(run.readAllStandardOutput()).array();
  ASSERT_EQ(reports.size(), 2);
  EXPECT_EQ(reports[0].toObject()["result"].toString(), "card not removed");
  const QJsonObject died = reports[1].toObject();
  EXPECT_EQ(died["result"].toString(), "failed");
  EXPECT_EQ(died["failed_step"].toString(), "card wait");
  EXPECT_EQ(died["explanation"].toString(), "the run ended by SIGKILL");
}

// How the process starts, as a user's shell or a supervisor may start it.
struct StartCase {
  const char* name;
  QStringList ports;        // for --simulate
  void (*setUp)();          // in the started process, before the program
  int exitCode;
  const char* error;        // what standard error ends with
  friend void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }
};

class CliStartTest : public CliTest, public ::testing::WithParamInterface<StartCase> {};

void Nohup() {
  std::signal(SIGHUP, SIG_IGN);
  ::setpgid(0, 0);
}
void ClosedInputAndOutput() {
  ::close(STDIN_FILENO);
  ::close(STDOUT_FILENO);
}
// Twelve tasks at most, root's too: a pids cgroup of the test's own where
// one can be made (v1, then v2), else the user's process limit, which root
// is not held to.
class TaskLimit {
 public:
  static constexpr int kTasks = 12;
  TaskLimit() {
    const std::string name = "usb-corvane-test-" + std::to_string(::getpid());
    for (const std::string& folder : {"/sys/fs/cgroup/pids/" + name, "/sys/fs/cgroup/" + name}) {
      if (::mkdir(folder.c_str(), 0700) != 0) continue;
      std::FILE* limit = std::fopen((folder + "/pids.max").c_str(), "w");
      if (limit != nullptr && std::fprintf(limit, "%d", kTasks) > 0 && std::fclose(limit) == 0) {
        folder_ = folder;
        procs_ = folder + "/cgroup.procs";
        return;
      }
      if (limit != nullptr) std::fclose(limit);
      ::rmdir(folder.c_str());
    }
  }
  ~TaskLimit() {
    if (!folder_.empty()) ::rmdir(folder_.c_str());  // once its processes have ended
  }
  bool Holds() const { return !folder_.empty() || ::geteuid() != 0; }
  // In the started process, before the program.
  void Enter() const {
    if (folder_.empty()) {
      const rlimit limit{kTasks, kTasks};
      ::setrlimit(RLIMIT_NPROC, &limit);
      return;
    }
    const int procs = ::open(procs_.c_str(), O_WRONLY);
    if (procs < 0 || ::write(procs, "0", 1) != 1) ::_exit(99);
    ::close(procs);
  }

 private:
  std::string folder_, procs_;
};
void FewTasks() {}  // the TaskLimit's

// Under nohup, a hang-up of the session reaches nothing; with its output
// closed, the report that cannot be written fails the command; under a task
// limit, the ports that cannot start are reported, the others set.
TEST_P(CliStartTest, KeepsItsWordAndItsRuns) {
  QStringList args = {"--mode", "corvane", "--json", "--simulate"};
  for (const QString& port : GetParam().ports) args << "--port" << port;
  std::optional<TaskLimit> tasks;
  if (GetParam().setUp == FewTasks && !tasks.emplace().Holds()) GTEST_SKIP() << "no limit on tasks holds root here";
  QProcess run;
  run.setChildProcessModifier([&] {
    GetParam().setUp();
    if (tasks) tasks->Enter();
  });
  run.start(CLI_PROGRAM, args);
  std::string err;
  if (GetParam().setUp == Nohup) {
    ASSERT_TRUE(ErrorUntil(run, err, "Wait Setting"));
    ::kill(-static_cast<pid_t>(run.processId()), SIGHUP);
  }
  ASSERT_TRUE(run.waitForFinished(30000));
  err += run.readAllStandardError().toStdString();
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(run.exitCode(), GetParam().exitCode) << err;
  EXPECT_TRUE(QString::fromStdString(err).endsWith(GetParam().error)) << err;
  if (GetParam().setUp != FewTasks) return;
  const QJsonArray reports = QJsonDocument::fromJson(run.readAllStandardOutput()).array();
  ASSERT_EQ(reports.size(), GetParam().ports.size());
  int notStarted = 0;
  for (const QJsonValue report : reports) {
    const QString result = report.toObject()["result"].toString();
    EXPECT_TRUE(result == "set" || result == "not started") << result.toStdString();
    notStarted += result == "not started" ? 1 : 0;
  }
  EXPECT_GT(notStarted, 0);
}

QStringList PortNumbers(int count) {
  QStringList ports;
  for (int port = 1; port <= count; ++port) ports << QString::number(port);
  return ports;
}

INSTANTIATE_TEST_SUITE_P(
    Starts, CliStartTest,
    ::testing::Values(StartCase{"NohupOnePort", {}, Nohup, 0, "final command received.\n"},
                      StartCase{"NohupTwoPorts", {"1", "2"}, Nohup, 0, "2 of 2 ports set.\n"},
                      StartCase{"ClosedOnePort", {}, ClosedInputAndOutput, 1,
                                "usb-corvane: standard output: Bad file descriptor\n"},
                      StartCase{"ClosedTwoPorts", {"1", "2"}, ClosedInputAndOutput, 1,
                                "usb-corvane: standard output: Bad file descriptor\n"},
                      StartCase{"TaskLimit", PortNumbers(30), FewTasks, 1, "Resource temporarily unavailable\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --all: the adapters plugged in run, each by its number; one remembered but
// absent is reported and never opened.
TEST(CliAllTest, RunsEveryAdapterPluggedInAndReportsTheAbsent) {
  testing_support::FakeMachine machine;
  platform::Services services = testing_support::TestServices();
  services.machinePorts = true;
  services.machineFolders = machine.Folders();
  testing_support::ProcessState state(services);
  machine.Plug("ttyUSB0", "1-1", "FT232R_USB_UART", "A1");
  machine.Plug("ttyUSB1", "1-2", "FT232R_USB_UART", "B2");
  machine.Plug("ttyUSB2", "1-3", "FT232R_USB_UART", "C3");
  ASSERT_EQ(platform::ports::List().ports.size(), 3u);  // numbered 1, 2, 3 and remembered
  machine.Unplug("ttyUSB1");

  const char* args[] = {"usb-corvane", "--mode", "corvane", "--all", "--simulate", "--json"};
  const auto options = std::get<cli::Options>(cli::ParseOptions(6, args));
  const auto targets = cli::TargetsOf(options, platform::ports::List());
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(cli::RunSeveralPorts(options, targets, CLI_PROGRAM, std::nullopt, out, err), 1);
  std::rewind(out);
  QFile reportFile;
  ASSERT_TRUE(reportFile.open(out, QIODevice::ReadOnly));
  const QJsonArray reports = QJsonDocument::fromJson(reportFile.readAll()).array();
  ASSERT_EQ(reports.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const QJsonObject report = reports[i].toObject();
    EXPECT_EQ(report["port"].toInt(), i + 1);
    EXPECT_TRUE(report["identity"].toString().contains(QString("ABC")[i])) << report["identity"].toString().toStdString();
    EXPECT_EQ(report["result"].toString(), i == 1 ? "not opened" : "set");
  }
  EXPECT_TRUE(reports[1].toObject()["device"].isNull());
  EXPECT_EQ(reports[1].toObject()["explanation"].toString(), "the adapter is not plugged in");
  std::fclose(out);
  std::fclose(err);
}

TEST_F(CliTest, HelpVersionAndPortList) {
  const Outcome help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--mode=corvane|smartmouse"), std::string::npos);
  const Outcome version = RunCli({"--version"});
  EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "usb-corvane " USB_CORVANE_VERSION);
  const Outcome list = RunCli({"--list-ports"});  // reads the device list, opens nothing
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_TRUE(list.out.rfind("Port ", 0) == 0 || list.out.rfind("No serial devices found.", 0) == 0) << list.out;
}

}  // namespace
