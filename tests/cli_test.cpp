// The command-line program as a user runs it: real processes, real time,
// the simulated interface or pseudo-terminals, never the machine's devices.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

#include "Scom.h"
#include "port_table.h"
#include "pty_pair.h"

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

TEST_F(CliTest, ScenarioWithAWrongAcknowledgeFails) {
  Write("wrong-ack.json", R"({"replies": {"2A 42": "2A 42 01 15"}, "version": [1, 5]})");
  const Outcome run = RunCli({"--mode", "corvane", "--simulate", Path("wrong-ack.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "Wait Setting Corvane 3.58MHz.\nFirmware 1.5\nError setting Corvane mode.\n"
            "The simulated interface was set to: mode Corvane, clock 3.58 MHz, no final command.\n");
}

TEST_F(CliTest, BadArgumentsExitWithTwoAndOpenNothing) {
  const Outcome run = RunCli({"--mode", "corvane", "--clock", "5", "--simulate", "--trace", Path("t.log")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "usb-corvane: --clock '5' is not one of: 3.58, 3.68, 6.00\nTry 'usb-corvane --help'.\n");
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(QFile::exists(Path("t.log")));
}

TEST_F(CliTest, BadScenarioExitsWithTwoNamingTheKey) {
  Write("bad.json", R"({"entry": "06", "speed": 9600})");
  const Outcome run = RunCli({"--mode", "corvane", "--simulate", Path("bad.json")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("unknown key \"speed\""), std::string::npos) << run.err;
}

TEST_F(CliTest, MissingDeviceIsExplained) {
  const Outcome run = RunCli({"--mode", "corvane", "--device", "/nonexistent/ttyUSB9"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "Could not open comport!\nNo such device: /nonexistent/ttyUSB9 does not exist (is the adapter "
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
  EXPECT_NE(run.out.find(pty.slavePath() + " is in use by another program: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(process " + std::to_string(getpid()) + ")"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ModemManager and brltty"), std::string::npos);
}

TEST_F(CliTest, DeviceWithoutPermissionNamesTheGroup) {
  testing_support::PtyPair pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals";
  QStringList asOtherUser;
  QString program = CLI_PROGRAM;
  QTemporaryDir reachable;  // under /tmp: the build folder may be closed to other users
  if (geteuid() == 0) {
    // Root passes every permission check; run the program as nobody instead.
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is needed to drop root";
    asOtherUser = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    program = reachable.path() + "/usb-corvane";
    ASSERT_TRUE(QFile::copy(CLI_PROGRAM, program));
    ASSERT_EQ(chmod(QFile::encodeName(reachable.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(program).constData(), 0755), 0);
  }
  ASSERT_EQ(chmod(pty.slavePath().c_str(), 0600), 0);
  const Outcome run =
      RunCli({"--mode", "corvane", "--device", QString::fromStdString(pty.slavePath())}, program, asOtherUser);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.out.find("Permission denied on " + pty.slavePath() +
                         ": your user must be in the group that owns the device ('"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("sudo usermod -aG "), std::string::npos);
}

TEST_F(CliTest, HelpVersionAndPortList) {
  const Outcome help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--mode corvane|smartmouse"), std::string::npos);
  const Outcome version = RunCli({"--version"});
  EXPECT_EQ(version.out, "usb-corvane " USB_CORVANE_VERSION "\n");
  const Outcome list = RunCli({"--list-ports"});  // reads the device list, opens nothing
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_TRUE(list.out.rfind("Port ", 0) == 0 || list.out == "No serial devices found.\n") << list.out;
}

}  // namespace
