#include <gtest/gtest.h>

#include "machine_ports.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "options.h"
#include "port_listing.h"
#include "run_report.h"
#include "run_targets.h"
#include "adapter_quirks.h"
#include "scenario.h"
#include "usb_ids.h"

namespace {

std::variant<cli::Options, cli::UsageError> Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "usb-corvane");
  return cli::ParseOptions(static_cast<int>(args.size()), args.data());
}

TEST(CliOptionsTest, DefaultsAndValues) {
  const auto parsed = Parse({"--mode", "smartmouse", "--port", "3"});
  ASSERT_TRUE(std::holds_alternative<cli::Options>(parsed));
  const auto& o = std::get<cli::Options>(parsed);
  EXPECT_EQ(o.mode, "SmartMouse");
  EXPECT_EQ(o.clock, "3.58");
  EXPECT_TRUE(o.resetDelay);
  EXPECT_EQ(o.ports, std::vector<unsigned>{3});
  EXPECT_EQ(o.tries, 30);
  EXPECT_FALSE(o.simulate);

  const auto full = std::get<cli::Options>(Parse({"--simulate", "s.json", "--mode", "corvane", "--clock", "6.00",
                                                  "--reset-delay", "off", "--tries", "0", "--trace", "t.log"}));
  EXPECT_EQ(full.mode, "Corvane");
  EXPECT_EQ(full.clock, "6.00");
  EXPECT_FALSE(full.resetDelay);
  EXPECT_EQ(full.scenario, "s.json");
  EXPECT_EQ(full.tries, 0);
  EXPECT_EQ(full.trace, "t.log");
  EXPECT_FALSE(std::get<cli::Options>(Parse({"--simulate", "--mode", "corvane"})).scenario.has_value());
}

struct UsageCase {
  std::vector<const char*> args;
  std::string message;
  friend void PrintTo(const UsageCase& c, std::ostream* os) {
    for (const char* arg : c.args) *os << arg << ' ';
  }
};

class CliUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsageTest, NamesTheArgumentAndWhatIsAccepted) {
  const auto parsed = Parse(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<cli::UsageError>(parsed));
  EXPECT_EQ(std::get<cli::UsageError>(parsed).message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliUsageTest,
    ::testing::Values(
        UsageCase{{"--port", "1"}, "--mode is missing: corvane or smartmouse"},
        UsageCase{{"--mode", "Corvane", "--port", "1"}, "--mode 'Corvane' is not one of: corvane, smartmouse"},
        UsageCase{{"--mode"}, "Missing value after '--mode'."},
        UsageCase{{"--list-ports=yes"}, "Unexpected value after '--list-ports'."},
        UsageCase{{"--t", "5", "--mode", "corvane", "--port", "1"},
                  "option '--t' is ambiguous; possibilities: '--trace' '--tries'"},
        UsageCase{{"--mode", "corvane", "--port", "1", "--", "extra"}, "unexpected argument 'extra'"},
        UsageCase{{"--mode", "corvane", "--port", "1", "--trace="}, "--trace needs a file to append the log to"},
        UsageCase{{"--mode", "corvane", "--clock", "4.00", "--port", "1"},
                  "--clock '4.00' is not one of: 3.58, 3.68, 6.00"},
        UsageCase{{"--mode", "corvane", "--reset-delay", "yes", "--port", "1"},
                  "--reset-delay 'yes' is not one of: on, off"},
        UsageCase{{"--mode", "corvane", "--port", "0"}, "--port '0' is not a port number (1, 2, ... as in --list-ports)"},
        UsageCase{{"--mode", "corvane", "--port", "COM3"},
                  "--port 'COM3' is not a port number (1, 2, ... as in --list-ports)"},
        UsageCase{{"--mode", "corvane", "--port", "1", "--tries", "-1"}, "--tries '-1' is not a count from 0 to 100000"},
        UsageCase{{"--mode", "corvane"}, "no port given: --port N, --device PATH, --all or --simulate"},
        UsageCase{{"--mode", "corvane", "--all", "--device", "/dev/x"},
                  "--all takes every adapter: give it without --port or --device"},
        UsageCase{{"--mode", "corvane", "--port", "2", "--port=2"}, "--port 2 is given twice"},
        UsageCase{{"--mode", "corvane", "--events", "--port", "1", "--device", "/dev/x"},
                  "--events goes with one port"},
        UsageCase{{"--mode", "corvane", "--device="},
                  std::string("--device needs a device path such as ") + platform::ports::DeviceExample()},
        UsageCase{{"--frobnicate"}, "Unknown option '--frobnicate'."},
        UsageCase{{"-x"}, "Unknown option '-x'."}));

// The GNU forms: --opt=value, abbreviations, "--", -h and -V; the last of a
// repeated option counts.
TEST(CliOptionsTest, GnuForms) {
  const auto o = std::get<cli::Options>(Parse({"--mode=smartmouse", "--clo=3.68", "--res", "off", "--simulate=a b.json",
                                               "--tri=5", "--trace", "--x", "--mode", "corvane", "--"}));
  EXPECT_EQ(o.mode, "Corvane");
  EXPECT_EQ(o.clock, "3.68");
  EXPECT_FALSE(o.resetDelay);
  EXPECT_EQ(o.scenario, "a b.json");
  EXPECT_EQ(o.tries, 5);
  EXPECT_EQ(o.trace, "--x");  // a value may start with dashes, as with getopt
  EXPECT_EQ(std::get<cli::Options>(Parse({"-V"})).action, cli::Options::Action::Version);
  EXPECT_EQ(std::get<cli::Options>(Parse({"--mode", "x", "-h"})).action, cli::Options::Action::Help);
  const auto list = std::get<cli::Options>(Parse({"--list", "--js"}));
  EXPECT_EQ(list.action, cli::Options::Action::ListPorts);
  EXPECT_TRUE(list.json);
  EXPECT_TRUE(std::get<cli::Options>(Parse({"--mode", "corvane", "--port", "1", "--json"})).json);
  // --port and --device gather, in order.
  const auto several = std::get<cli::Options>(Parse({"--mode=corvane", "--port=4", "--dev=/a", "--port", "2", "--device=/b"}));
  EXPECT_EQ(several.ports, (std::vector<unsigned>{4, 2}));
  EXPECT_EQ(several.devices, (std::vector<std::string>{"/a", "/b"}));
}

TEST(CliOptionsTest, HelpFitsSeventyNineColumnsAndSaysWhereToReportBugs) {
  const std::string help = cli::HelpText();
  std::size_t start = 0;
  for (std::size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
  }
  EXPECT_NE(help.find("Report bugs to: "), std::string::npos);
}

TEST(ScenarioTest, AppliesEveryKey) {
  auto device = emulator::CorvaneEmulator::Create();
  const auto problem = emulator::ApplyScenario(
      R"({"entry": "06 01", "version": [2, 7], "card": 1500, "pending": "0102",
          "replies": {"2A 42 81": "2A 42 81 15", "2A 44": "2A 44 00 06 06"}, "delays": {"2A 41": 300},
          "unplug": "2A 43"})",
      *device);
  EXPECT_FALSE(problem.has_value()) << *problem;
  EXPECT_EQ(device->entryReply, (emulator::Bytes{0x06, 0x01}));
  EXPECT_EQ(device->versionMajor, 2);
  EXPECT_EQ(device->versionMinor, 7);
  EXPECT_EQ(device->pendingAtOpen, (emulator::Bytes{0x01, 0x02}));
  EXPECT_EQ(device->RuleForBytes({0x2A, 0x42, 0x81}).replace, (emulator::Bytes{0x2A, 0x42, 0x81, 0x15}));
  EXPECT_EQ(device->Rule(emulator::Command::ResetDelay).replace, (emulator::Bytes{0x2A, 0x44, 0x00, 0x06, 0x06}));
  EXPECT_EQ(device->Rule(emulator::Command::Version).delay, std::chrono::milliseconds(300));
}

struct ScenarioCase {
  std::string json;
  std::string message;
  friend void PrintTo(const ScenarioCase& c, std::ostream* os) { *os << c.json.substr(0, 80); }
};

class BadScenarioTest : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(BadScenarioTest, NamesWhatIsWrong) {
  auto device = emulator::CorvaneEmulator::Create();
  EXPECT_EQ(emulator::ApplyScenario(GetParam().json, *device).value_or("accepted"), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadScenarioTest,
    ::testing::Values(
        ScenarioCase{R"({"colour": 1})",
                     "unknown key \"colour\" (known: entry, version, card, pending, replies, delays, faults, unplug, open)"},
        ScenarioCase{R"({"entry": "6"})", "\"entry\" must be hex text such as \"06\""},
        ScenarioCase{R"({"version": [1]})", "\"version\" must be [major, minor], each 0 to 255"},
        ScenarioCase{R"({"version": [1, 256]})", "\"version\" must be [major, minor], each 0 to 255"},
        ScenarioCase{R"({"card": -2})", "\"card\" must be milliseconds until the card is taken out, or -1 for never"},
        ScenarioCase{R"({"card": 1.5})", "\"card\" must be milliseconds until the card is taken out, or -1 for never"},
        ScenarioCase{R"({"replies": {"2A 45": "06"}})",
                     "\"replies\": '2A 45' is not a command of the interface (2A 41, 2A 42 xx, 2A 44 xx, 2A 43)"},
        ScenarioCase{R"({"replies": {"2A 41": 6}})", "\"replies\": the reply to 2A 41 must be hex text"},
        ScenarioCase{R"({"delays": {"2A 41": -1}})", "\"delays\": the delay of 2A 41 must be milliseconds from 0"},
        ScenarioCase{R"({"unplug": "zz"})", "\"unplug\" must be a command text such as \"2A 44\""},
        ScenarioCase{R"({"faults": {"2A 45": "silence"}})",
                     "\"faults\": '2A 45' is not a step (entry, 2A 41, 2A 42, 2A 44, 2A 43)"},
        ScenarioCase{R"({"faults": {"entry": "gone"}})",
                     "\"faults\": the fault of entry must be one of: silence, wrong-byte, late-byte, surplus, short, "
                     "unplugged, unplugged-in-reply, write-failure"},
        ScenarioCase{R"({"open": "busy"})", "\"open\" must be one of: missing, permission, in-use"},
        ScenarioCase{R"([1, 2])", "the scenario must be a JSON object"},
        ScenarioCase{R"({"entry": )", "not valid JSON at line 1, column 11: unexpected end of input; expected '[', '{', or a literal"},
        ScenarioCase{"{\n  \"entry\": \"06\",\n  \"card\" 5\n}",
                     "not valid JSON at line 3, column 10: unexpected number literal; expected ':'"},
        ScenarioCase{R"({"entry": "06"} x)", "not valid JSON at line 1, column 17: invalid literal; expected end of input"},
        // Beyond a double, and nesting or lengths no scenario has: refused, never an abort.
        ScenarioCase{R"({"card": 1e400})", "number out of range at line 1, column 10: 1e400"},
        ScenarioCase{"{\"delays\": {\"2A 41\":\n -1e999}}", "number out of range at line 2, column 2: -1e999"},
        ScenarioCase{R"({"version": [1e400, 1]})", "number out of range at line 1, column 14: 1e400"},
        ScenarioCase{R"({"replies": {"2A 41": [[[[[[[[[[[[[[[["06"]]]]]]]]]]]]]]]]}})",
                     "nested deeper than 16 levels at line 1, column 37"},
        ScenarioCase{"{\"x\": [" + std::string(10000, ',') + "]}",
                     "more than 10000 values at line 1, column 10007"}));

// Read whole, up to a limit: what lies after the first MiB counts too.
TEST(ScenarioFileTest, IsReadWholeUpToItsLimit) {
  const std::string path = ::testing::TempDir() + "/scenario-size.json";
  auto load = [&](const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    auto device = emulator::CorvaneEmulator::Create();
    return emulator::LoadScenarioFile(path, *device).value_or("accepted");
  };
  const std::string blanks(10 << 20, ' ');
  EXPECT_EQ(load("{\"entry\": \"06\"," + blanks + "\"card\": 0}"), "accepted");
  EXPECT_EQ(load("{\"entry\": \"06\"}" + blanks + "junk"),
            path + ": not valid JSON at line 1, column 10485776: invalid literal; expected end of input");
  EXPECT_EQ(load("{" + std::string(emulator::kScenarioLimit, ' ') + "}"),
            path + ": larger than 16 MiB; a scenario is a few lines of JSON");
  std::remove(path.c_str());
}

TEST(PortListingTest, ForPeopleAndForScripts) {
  platform::ports::PortEntry ftdi, ch340;
  ftdi.number = 1;
  ftdi.device = "/fake-dev/ttyUSB0";
  ftdi.identity = ftdi.byIdLink = "/dev/serial/by-id/usb-FTDI_A1-if00-port0";
  ftdi.usbVendorId = 0x0403;
  ftdi.usbProductId = 0x6001;
  ftdi.vendor = "Future Technology Devices";
  ftdi.model = "FT232 Serial (UART) IC";
  ftdi.serialNumber = "A1";
  ch340.number = 2;
  ch340.identity = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0";
  ch340.present = false;
  ch340.usbVendorId = 0x1a86;
  ch340.usbProductId = 0x7523;
  EXPECT_EQ(cli::PortsAsText({ftdi, ch340}),
            "Port  Device          What it is\n"
            "1     /fake-dev/ttyUSB0 FT232 Serial (UART) IC, Future Technology Devices\n"
            "      USB id 0403:6001, serial number A1\n"
            "      /dev/serial/by-id/usb-FTDI_A1-if00-port0\n"
            "2     -               not plugged in\n"
            "      USB id 1a86:7523\n"
            "      cannot hold the 1.2 s break (CH340/CH341 driver)\n"
            "      /dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0\n");
  const auto list = nlohmann::json::parse(cli::PortsAsJson({ftdi, ch340}));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["device"], "/fake-dev/ttyUSB0");
  EXPECT_EQ(list[0]["vendor"], "Future Technology Devices");
  EXPECT_EQ(list[0]["serialNumber"], "A1");
  EXPECT_EQ(list[0]["usbVendorId"], "0403");
  EXPECT_EQ(list[0]["holdsLongBreak"], true);
  EXPECT_EQ(list[1]["port"], 2);
  EXPECT_TRUE(list[1]["device"].is_null());
  EXPECT_EQ(list[1]["holdsLongBreak"], false);
  // Without readable stored numbers an adapter is listed by its path alone.
  ftdi.number = 0;
  EXPECT_EQ(cli::PortsAsText({ftdi}).substr(0, 100).find("\n-     /fake-dev/ttyUSB0 FT232"), 32u);
  EXPECT_TRUE(nlohmann::json::parse(cli::PortsAsJson({ftdi}))[0]["port"].is_null());
}

// Windows' hardware ids name a USB adapter's ids in either case, after any bus.
TEST(UsbIdsTest, AreReadFromWindowsHardwareIds) {
  using platform::ports::UsbIdsOfHardwareId;
  EXPECT_EQ(UsbIdsOfHardwareId("USB\\VID_0403&PID_6001&REV_0600"), (std::pair{0x0403u, 0x6001u}));
  EXPECT_EQ(UsbIdsOfHardwareId("FTDIBUS\\COMPORT&vid_1a86&pid_7523"), (std::pair{0x1a86u, 0x7523u}));
  EXPECT_FALSE(UsbIdsOfHardwareId("ACPI\\PNP0501").has_value());
  EXPECT_FALSE(UsbIdsOfHardwareId("USB\\VID_04G3&PID_6001").has_value());
}

// The explanations themselves are tested with the comm layer.
TEST(AdapterQuirksTest, Ch340ChipsCannotHoldTheBreak) {
  EXPECT_TRUE(cli::CannotHoldLongBreak(0x1a86, 0x7523));
  EXPECT_TRUE(cli::CannotHoldLongBreak(0x1a86, 0x5523));
  EXPECT_FALSE(cli::CannotHoldLongBreak(0x0403, 0x6001));
}

// No two ports share a trace, whatever their names: an index never takes
// another port's own name, and names differing in case only are one file on
// Windows.
TEST(TraceFilesTest, NoTwoPortsShareAFile) {
  const auto device = [](const char* path) { return cli::RunTarget{std::nullopt, path, "", false}; };
  const struct {
    const char* trace;
    std::vector<cli::RunTarget> targets;
    std::vector<std::string> files;
  } cases[] = {
      {"run.log", {{1u, "", "", false}, device("/x/1-3"), device("/y/1")}, {"run-1.log", "run-1-3.log", "run-1-4.log"}},
      {"run.log", {device("/a/ttyUSB0"), device("/b/ttyUSB0")}, {"run-ttyUSB0.log", "run-ttyUSB0-2.log"}},
      {"run.log", {device("COM3"), device("com3")}, {"run-COM3.log", "run-com3-2.log"}},
      {"/tmp/a.b/trace", {{2u, "", "", false}}, {"/tmp/a.b/trace-2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(cli::TraceFilesFor(c.trace, c.targets), c.files) << c.trace;
}

// What a command writes for its runs is read back as itself.
TEST(CliOptionsTest, WrittenBackAsArgumentsTheyReadTheSame) {
  const std::vector<std::vector<const char*>> commands = {
      {"--mode", "corvane", "--port", "3"},
      {"--mode", "smartmouse", "--clock", "6.00", "--reset-delay", "off", "--tries", "0", "--device", "/dev/a b",
       "--device", "--x", "--port", "2", "--json", "--trace", "t=1.log"},
      {"--mode", "corvane", "--all", "--simulate"},
      {"--mode", "corvane", "--simulate=-", "--events=412"},
  };
  for (const auto& command : commands) {
    const auto options = std::get<cli::Options>(Parse(command));
    const std::vector<std::string> written = cli::OptionArguments(options);
    std::vector<const char*> again;
    for (const std::string& argument : written) again.push_back(argument.c_str());
    const auto reread = Parse(again);
    ASSERT_TRUE(std::holds_alternative<cli::Options>(reread)) << std::get<cli::UsageError>(reread).message;
    EXPECT_TRUE(std::get<cli::Options>(reread) == options) << command.front() << " " << command[1];
  }
}

// The command that runs several reads each run's report back as it was.
TEST(RunReportTest, ReadsBackWhatItWrote) {
  using Ending = cli::RunReport::Ending;
  using Result = TRunOutcome::Result;
  using Step = TRunOutcome::Step;
  const auto at = std::chrono::sys_days{std::chrono::year{2026} / 12 / 11} + std::chrono::milliseconds(45296789);
  const struct {
    Ending ending;
    Result result;
    Step step;
    const char* explanation;
  } cases[] = {{Ending::Ran, Result::Succeeded, Step::Done, ""},
               {Ending::Ran, Result::NotAcknowledged, Step::Mode, "why"},
               {Ending::Ran, Result::CardNotRemoved, Step::CardWait, ""},
               {Ending::Stopped, Result::None, Step::Entry, ""},
               {Ending::NotStarted, Result::PortNotOpened, Step::Opening, "the run could not be started: EAGAIN"},
               {Ending::Died, Result::PortNotOpened, Step::Version, "the run ended by SIGKILL"}};
  for (const auto& c : cases) {
    cli::RunReport report{3u, "/nonexistent/ttyUSB0", "FTDI A1", "SmartMouse", "6.00", false, {}, c.ending, at, at,
                          c.explanation};
    report.outcome.result = c.result;
    report.outcome.step = c.step;
    report.outcome.firmware = "1.5";
    const auto object = cli::RunReportObject(report);
    const auto read = cli::RunReportFrom(object);
    ASSERT_TRUE(read.has_value()) << object.dump();
    EXPECT_EQ(cli::RunReportObject(*read), object);
    EXPECT_EQ(read->Set(), c.result == Result::Succeeded);
  }
  EXPECT_FALSE(cli::RunReportFrom(nlohmann::ordered_json{{"result", "maybe"}}).has_value());
}

}  // namespace
