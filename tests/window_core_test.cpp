// The window's behaviour without a toolkit, through a view of plain fields:
// what a Qt window and a native Windows window share. Runs under Wine too.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "virtual_time_test.h"
#include "window_logic.h"
#include "readable_colors.h"
#include "window_place.h"
#include "window_startup.h"

namespace {

using testing_support::operator""_ms;
using testing_support::QueuePump;

class FakeView final : public window_core::TWindowView {
 public:
  void SetText(const std::string& t) override { text = t; }
  void SetColor(TColor c) override { color = c; }
  TColor ButtonFace() const override { return {240, 240, 240}; }
  int Position() const override { return position; }
  void SetPosition(int p) override { position = p; }
  bool Ticked() const override { return true; }
  std::string ShownText(TList list) const override { return list == TList::Port ? portText : "3.68MHz"; }
  int FindItem(TList list, const std::string& t) const override {
    return list == TList::Port && t.rfind("Com", 0) == 0 ? std::stoi(t.substr(3)) - 1 : -1;
  }
  void SelectItem(TList, int) override {}
  void SetTicked(bool) override {}
  void EnableModeButtons(bool enabled) override { buttons.push_back(enabled); }
  TFocus Focused() const override { return focus; }
  void Focus(TFocus control) override { focus = control; }
  void SetStatusTip(const std::string& t) override { tip = t; }
  void PlaceAt(std::optional<int>, std::optional<int>) override {}
  std::optional<window_core::TPoint> NormalPlace() const override { return std::nullopt; }
  void ShowErrorBox(const std::string&, const std::string& t) override { errors.push_back(t); }
  void Close() override { ++closes; }
  void Finish() override {}

  std::string text, tip, portText = "Com1";
  TColor color{};
  int position = 0, closes = 0;
  std::vector<bool> buttons;
  std::vector<std::string> errors;
  TFocus focus = TFocus::Other;
};

class WindowLogicTest : public testing_support::VirtualTimeTest {
 protected:
  WindowLogicTest() { RunWindow = {&view, &view}; }
  ~WindowLogicTest() override { RunWindow = {}; }
  FakeView view;
  window_core::TWindowLogic logic{view};
};

TEST_F(WindowLogicTest, ARunTakesTheChoicesShownAndGivesTheButtonsBackAtItsEnd) {
  logic.RunMode("SmartMouse");
  EXPECT_EQ(view.text, "SmartMouse 3.68MHz set successfully");
  EXPECT_EQ(view.buttons, (std::vector<bool>{false, true}));
  EXPECT_EQ(view.tip, "");
  view.portText = "Com5";  // nothing there
  logic.RunMode("Corvane");
  EXPECT_EQ(view.text, "Could not open comport!");
  EXPECT_FALSE(view.tip.empty());  // why port 5 did not open, in the system's words
  EXPECT_EQ(view.tip, LastRunOutcome().Explanation());
}

// During the card wait a close stops the run at once; during the dialogue it
// waits, and the window is closed when the run ends.
// The pressed button's focus waits on the status line during the run and
// comes back to that button; a run started otherwise moves no focus.
TEST_F(WindowLogicTest, TheFocusWaitsOnTheStatusLineAndGoesBackToThePressedButton) {
  using TFocus = window_core::TWindowView::TFocus;
  for (const TFocus pressed : {TFocus::SmartMouseButton, TFocus::CorvaneButton, TFocus::Other}) {
    view.focus = pressed;
    TFocus during = pressed;
    pump.PostAt(clock.Now() + 500_ms, [&] { during = view.focus; });
    logic.RunMode("SmartMouse");
    EXPECT_EQ(during, pressed == TFocus::Other ? TFocus::Other : TFocus::Status);
    EXPECT_EQ(view.focus, pressed);
  }
}

TEST_F(WindowLogicTest, ACloseStopsTheCardWaitButWaitsForTheDialogue) {
  device->InsertCard(emulator::CorvaneEmulator::kCardNeverRemoved);
  bool mayClose = false;
  pump.PostAt(clock.Start() + 500_ms, [&] { mayClose = logic.MayClose(); });
  logic.RunMode("Corvane");
  EXPECT_TRUE(mayClose);
  EXPECT_EQ(view.closes, 0);

  device->InsertCard(std::chrono::milliseconds(0));
  pump.PostAt(clock.Now() + 1500_ms, [&] { mayClose = logic.MayClose(); });
  logic.RunMode("Corvane");
  EXPECT_FALSE(mayClose);
  EXPECT_EQ(view.text, "Corvane 3.68MHz set successfully");
  EXPECT_EQ(view.closes, 1);
}

TEST_F(WindowLogicTest, EachPortItemSaysWhatItOpens) {
  platform::ports::MapDevice(3, "/nonexistent/pts/7");
  const auto tips = window_core::PortTips(4);
  ASSERT_EQ(tips.size(), 4u);
  EXPECT_EQ(tips[0], "simulated interface");
  EXPECT_EQ(tips[1], "No device on this machine");
  EXPECT_EQ(tips[2], "/nonexistent/pts/7 (mapped device)");
}

TEST(ApplicationTitleTest, FromTheProgramFileName) {
  // The first letter stays as it is.
  EXPECT_EQ(window_core::ApplicationTitle("/usr/bin/usb-corvane-config"), "usb-corvane-config");
  EXPECT_EQ(window_core::ApplicationTitle("/opt/USB.Corvane.exe"), "Usb");
  EXPECT_EQ(window_core::ApplicationTitle("/opt/Project1.exe"), "Project1");
  EXPECT_EQ(window_core::ApplicationTitle("CONFIG"), "Config");
}

TEST(TopLevelMessageTest, PointIsAppendedAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(window_core::TopLevelMessage("Disk full"), "Disk full.");
  EXPECT_EQ(window_core::TopLevelMessage("Done."), "Done.");
  EXPECT_EQ(window_core::TopLevelMessage("Invalid data type for 'ComPort'"), "Invalid data type for 'ComPort'");
  EXPECT_EQ(window_core::TopLevelMessage("What?"), "What?.");
  EXPECT_EQ(window_core::TopLevelMessage(""), "");
}

TEST(WindowOptionsTest, TakesTheCommandLinesOptions) {
  auto parse = [](std::vector<std::string> args) {
    args.insert(args.begin(), "usb-corvane-config");
    return ParseWindowOptions(args, "1.0.0");
  };
  EXPECT_FALSE(std::get<WindowOptions>(parse({})).simulate);
  const auto both = std::get<WindowOptions>(parse({"--simulate", "s.json", "--trace", "t.log"}));
  EXPECT_TRUE(both.simulate);
  EXPECT_EQ(both.scenario, "s.json");
  EXPECT_EQ(both.trace, "t.log");
  EXPECT_FALSE(std::get<WindowOptions>(parse({"--simulate"})).scenario.has_value());
  EXPECT_EQ(std::get<WindowOptions>(parse({"--sim=s.json"})).scenario, "s.json");
  // A file name is taken byte for byte, whatever its encoding.
  EXPECT_EQ(std::get<WindowOptions>(parse({"--trace=caf\xE9.log"})).trace, "caf\xE9.log");
  const std::string version = std::get<WindowExit>(parse({"-V"})).out;
  EXPECT_EQ(version.substr(0, version.find('\n')), "usb-corvane-config 1.0.0");
  EXPECT_NE(version.find("Copyright (C) "), std::string::npos);
  const std::string help = std::get<WindowExit>(parse({"-h"})).out;
  EXPECT_NE(help.find("--simulate[=FILE]"), std::string::npos);
  EXPECT_NE(help.find("Report bugs to: "), std::string::npos);
  for (std::size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
  }
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"s.json"}, {"--colour"}, {"--trace"}}) {
    const auto exit = std::get<WindowExit>(parse(bad));
    EXPECT_EQ(exit.status, 2);
    EXPECT_NE(exit.err.find("Try 'usb-corvane-config --help' for more information."), std::string::npos) << exit.err;
  }
}

// A place stays while its title bar and most of its width are on a screen;
// otherwise it moves onto the nearest screen's available area.
TEST(WindowPlaceTest, StaysReachable) {
  using window_core::TPoint;
  using window_core::TRect;
  const TRect laptop{0, 0, 1024, 768};
  const TRect rightMonitor{1024, 0, 1920, 1080};
  struct Case {
    TPoint stored;
    std::vector<TRect> screens;
    TPoint opens;
  } cases[] = {
      {{700, 500}, {laptop}, {700, 500}},
      {{3000, 2000}, {laptop}, {646, 589}},        // the monitor it was on is gone
      {{3000, 900}, {laptop, rightMonitor}, {2566, 900}},
      {{-500, -300}, {laptop}, {0, 0}},
      {{800, 100}, {laptop}, {800, 100}},          // its close-box half still on screen
      {{900, 100}, {laptop}, {646, 100}},
      {{100, -10}, {laptop}, {100, 0}},            // the title bar above the screen
      {{100, 760}, {laptop}, {100, 589}},
      {{-300, 10}, {{0, 0, 300, 100}}, {0, 0}},    // larger than the screen: its corner on it
  };
  for (const Case& c : cases) {
    const TPoint opens = window_core::ReachablePlace({c.stored.x, c.stored.y, 378, 179}, c.screens);
    EXPECT_EQ(opens, c.opens) << c.stored.x << "," << c.stored.y << " opens at " << opens.x << "," << opens.y;
  }
}

// Every status background and the button face of a light and a dark theme
// get text of at least AA contrast; the link keeps navy where it reads.
// The link under the mouse: its own place while the bold address fits,
// widened about its centre when it does not, never past the window's edge.
TEST(WindowPlaceTest, LinkWidensAboutItsCentreForAWiderText) {
  const window_core::TRect own{165, 96, 204, 13};
  for (const auto& [text, left, width] : {std::tuple{190, 165, 204}, {215, 160, 215}, {250, 128, 250}, {400, 0, 378}}) {
    const window_core::TRect place = window_core::LinkPlace(own, 378, text);
    EXPECT_EQ(std::tuple(place.left, place.top, place.width, place.height), std::tuple(left, 96, width, 13)) << text;
  }
}

TEST(ReadableColorsTest, TextAndLinkReadOnEveryBackground) {
  const TColor lightFace{240, 240, 240}, darkFace{53, 53, 53};
  for (const TColor background : {TColor{0, 255, 0}, clRed, clYellow, lightFace, darkFace}) {
    EXPECT_GE(window_core::Contrast(window_core::TextColorOn(background), background), window_core::kReadableContrast)
        << int(background.red) << "," << int(background.green) << "," << int(background.blue);
  }
  EXPECT_EQ(window_core::LinkColorOn(lightFace, {0, 0, 255}), window_core::clNavy);
  const TColor brightLink{120, 180, 255};
  EXPECT_EQ(window_core::LinkColorOn(darkFace, brightLink), brightLink);
  EXPECT_GE(window_core::Contrast(window_core::LinkColorOn(darkFace, {42, 130, 218}), darkFace),
            window_core::kReadableContrast);
}

// The window never opens the machine's ports where the services it starts
// with keep them closed (a test's); with --simulate it closes them itself.
// Its record goes when it ends, and the one before it stands again.
TEST(WindowServicesTest, AddsItsPumpAndNeverOpensTheMachinesPorts) {
  platform::VirtualClock clock;
  QueuePump windowPump(clock);
  for (const bool machinePorts : {true, false}) {
    for (const bool simulate : {true, false}) {
      platform::Services installed = testing_support::TestServices();
      installed.machinePorts = machinePorts;
      const platform::ScopedServices test(installed);
      {
        WindowOptions options;
        options.simulate = simulate;
        const platform::ScopedServices window(
            [&](platform::Services& services) { window_core::AddWindowServices(services, options, windowPump); });
        EXPECT_EQ(&platform::CurrentPump(), &windowPump);
        EXPECT_EQ(platform::InstalledServices().machinePorts, machinePorts && !simulate);
        EXPECT_EQ(platform::InstalledServices().numberStore, installed.numberStore);
      }
      EXPECT_NE(&platform::CurrentPump(), &windowPump);
      EXPECT_EQ(platform::InstalledServices().machinePorts, machinePorts);
    }
  }
}

}  // namespace
