#include <gtest/gtest.h>

#include <functional>

#include "run_test.h"

namespace {

using emulator::Bytes;
using emulator::Command;
using emulator::CorvaneEmulator;
using emulator::OpenStep;
using testing_support::kButtonFace;
using testing_support::operator""_ms;
using testing_support::RecordingStatus;
using testing_support::RunTest;

class ModeSettingTest : public RunTest {};

TEST_F(ModeSettingTest, SuccessRoadShowsEveryStepAndConfiguresTheDevice) {
  device->versionMajor = 1;
  device->versionMinor = 5;
  EXPECT_TRUE(RunMode("SmartMouse", "3.58"));

  EXPECT_EQ(status.Texts(), (std::vector<std::string>{"Wait Setting SmartMouse 3.58MHz.", "Firmware 1.5",
                                                      "SmartMouse 3.58MHz set successfully"}));
  EXPECT_EQ(status.Colors(), (std::vector<TColor>{kButtonFace, clLime}));
  // The button-face colour is set before the first text.
  EXPECT_FALSE(status.events.front().isText);
  EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));

  EXPECT_EQ(device->received(), (Bytes{0x2A, 0x41, 0x2A, 0x42, 0x81, 0x2A, 0x44, 0x00, 0x2A, 0x43}));
  EXPECT_EQ(device->settings().modeClock, BYTE{0x81});
  EXPECT_EQ(device->settings().resetDelay, BYTE{0x00});
  EXPECT_TRUE(device->settings().finalReceived);
  ExpectLineReleased();
  EXPECT_FALSE(InterfaceRunActive());
}

TEST_F(ModeSettingTest, NextRunOpensThePortChosenThen) {
  auto second = CorvaneEmulator::Create();
  platform::ports::MapEndpoint(2, second);
  EXPECT_TRUE(RunMode("SmartMouse", "3.58", 30, 1));
  EXPECT_TRUE(RunMode("Corvane", "6.00", 30, 2));
  EXPECT_EQ(second->settings().modeClock, BYTE{0x03});
  EXPECT_EQ(device->settings().modeClock, BYTE{0x81});
}

TEST_F(ModeSettingTest, AfterAFailedRunTheNextRunTalksToTheNewPort) {
  auto second = CorvaneEmulator::Create();
  platform::ports::MapEndpoint(2, second);
  device->Rule(Command::Mode).patch[3] = 0x15;
  EXPECT_FALSE(RunMode("SmartMouse", "3.58", 30, 1));
  EXPECT_FALSE(device->isOpen());
  EXPECT_TRUE(RunMode("Corvane", "3.68", 30, 2));
  EXPECT_EQ(second->settings().modeClock, BYTE{0x02});
  EXPECT_EQ(device->openCount(), 1);
}

// --- the outcomes of a failed run

struct FailureCase {
  const char* name;
  std::function<void(CorvaneEmulator&)> arrange;
  int tries;
  std::string text;
  TColor color;
  int progress;  // 7 is the position left by an earlier run
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

class FailureTableTest : public RunTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTableTest, ShowsTheOutcomeAndReleasesTheLine) {
  GetParam().arrange(*device);
  progress.position = 7;
  status.text = "left by the last run";
  EXPECT_FALSE(RunMode("SmartMouse", "3.58", GetParam().tries));
  EXPECT_EQ(status.text, GetParam().text);
  EXPECT_EQ(status.color, GetParam().color);
  EXPECT_EQ(progress.position, GetParam().progress);
  ExpectLineReleased();
  EXPECT_FALSE(InterfaceRunActive());
}

const std::string kError = "Error setting SmartMouse mode.";
const std::string kRemove = "Please remove card from card slot.";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FailureTableTest,
    ::testing::Values(
        FailureCase{"OpenFails", [](auto& d) { d.FailOpenAt(OpenStep::CreateFile); }, 30,
                    "Could not open comport!", clRed, 7},
        FailureCase{"OpenFailsAfterCreateFile", [](auto& d) { d.FailOpenAt(OpenStep::SetCommState); }, 30,
                    "Could not open comport!", clRed, 7},
        FailureCase{"CardNeverRemoved", [](auto& d) { d.InsertCard(CorvaneEmulator::kCardNeverRemoved); },
                    30, kRemove, clRed, 7},
        FailureCase{"CardAndNoTries", [](auto& d) { d.InsertCard(CorvaneEmulator::kCardNeverRemoved); }, 0,
                    kRemove, kButtonFace, 7},
        FailureCase{"CardAndNegativeTries",
                    [](auto& d) { d.InsertCard(CorvaneEmulator::kCardNeverRemoved); }, -3, kRemove,
                    kButtonFace, 7},
        FailureCase{"NoAcknowledgeAfterBreak", [](auto& d) { d.entryReply = {0x15}; }, 30, kError, clRed, 11},
        FailureCase{"SilentAfterBreak", [](auto& d) { d.SilenceFrom(Command::Entry); }, 30, kError, clRed, 11},
        FailureCase{"VersionWithoutFixedValue", [](auto& d) { d.Rule(Command::Version).patch[4] = 0x11; }, 30,
                    kError, clRed, 11},
        FailureCase{"VersionWithoutAcknowledge", [](auto& d) { d.Rule(Command::Version).patch[5] = 0x15; },
                    30, kError, clRed, 11},
        FailureCase{"VersionSilent", [](auto& d) { d.SilenceFrom(Command::Version); }, 30, kError, clRed, 11},
        FailureCase{"ModeNotAcknowledged", [](auto& d) { d.Rule(Command::Mode).patch[3] = 0x15; }, 30, kError,
                    clRed, 12},
        FailureCase{"ModeSilent", [](auto& d) { d.SilenceFrom(Command::Mode); }, 30, kError, clRed, 12},
        FailureCase{"ResetDelayNotAcknowledged",
                    [](auto& d) { d.Rule(Command::ResetDelay).patch[3] = 0x00; }, 30, kError, clRed, 13},
        FailureCase{"ResetDelaySilent", [](auto& d) { d.SilenceFrom(Command::ResetDelay); }, 30, kError,
                    clRed, 13}),
    [](const auto& info) { return info.param.name; });

TEST_F(ModeSettingTest, FailedTestSendsNothingMore) {
  device->Rule(Command::Mode).patch[3] = 0x15;
  EXPECT_FALSE(RunMode("SmartMouse", "3.58"));
  EXPECT_EQ(device->received(), (Bytes{0x2A, 0x41, 0x2A, 0x42, 0x81}));
  EXPECT_FALSE(device->settings().finalReceived);
}

// --- waiting for the card to be taken out

TEST_F(ModeSettingTest, EmptySlotStartsTheDialogueAtOnce) {
  EXPECT_TRUE(RunMode());
  EXPECT_EQ(status.events[1].text, "Wait Setting SmartMouse 3.58MHz.");
  EXPECT_EQ(status.events[1].at, clock.Start());
}

struct RemovalCase {
  const char* name;
  int removedAfterMs;
  int detectedAtMs;
  std::vector<TColor> blinkColors;
  friend void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.name; }
};

class CardRemovalTest : public RunTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(CardRemovalTest, DialogueStarts500msAfterTheLookThatSawTheSlotEmpty) {
  device->InsertCard(std::chrono::milliseconds(GetParam().removedAfterMs));
  EXPECT_TRUE(RunMode());
  const auto texts = status.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], kRemove);
  std::vector<TColor> colors;
  platform::MonoTime backToButtonFace{};
  for (const auto& e : status.events) {
    if (e.isText && e.text.rfind("Wait Setting", 0) == 0) {
      EXPECT_EQ(e.at - clock.Start(), std::chrono::milliseconds(GetParam().detectedAtMs + 500));
      break;
    }
    if (!e.isText) {
      colors.push_back(e.color);
      backToButtonFace = e.at;
    }
  }
  EXPECT_EQ(colors, GetParam().blinkColors);
  EXPECT_EQ(backToButtonFace - clock.Start(), std::chrono::milliseconds(GetParam().detectedAtMs));
}

INSTANTIATE_TEST_SUITE_P(
    Halves, CardRemovalTest,
    ::testing::Values(RemovalCase{"DuringYellow", 300, 500, {kButtonFace, clYellow, kButtonFace}},
                      RemovalCase{"DuringRed", 700, 1000, {kButtonFace, clYellow, clRed, kButtonFace}},
                      RemovalCase{"SecondTry", 1200, 1500,
                                  {kButtonFace, clYellow, clRed, clYellow, kButtonFace}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ModeSettingTest, CardNeverRemovedBlinksFor30sLookingEvery500ms) {
  device->InsertCard(CorvaneEmulator::kCardNeverRemoved);
  EXPECT_FALSE(RunMode());
  EXPECT_EQ(Elapsed(), std::chrono::seconds(30));
  std::vector<platform::Nanos> blinkTimes;
  std::vector<TColor> blinkColors;
  for (const auto& e : status.events) {
    if (!e.isText && e.color != kButtonFace) {
      blinkTimes.push_back(e.at - clock.Start());
      blinkColors.push_back(e.color);
    }
  }
  ASSERT_EQ(blinkTimes.size(), 60u);
  for (std::size_t i = 0; i < blinkTimes.size(); ++i) {
    EXPECT_EQ(blinkTimes[i], std::chrono::milliseconds(500 * i));
    EXPECT_EQ(blinkColors[i], i % 2 == 0 ? clYellow : clRed);
  }
  EXPECT_TRUE(device->received().empty());
  EXPECT_TRUE(progress.positions.empty());
}

TEST_F(ModeSettingTest, StopRequestDuringTheCardWaitEndsTheRunAtItsNextLook) {
  device->InsertCard(CorvaneEmulator::kCardNeverRemoved);
  bool accepted = false;
  pump.PostAt(clock.Start() + 2200_ms, [&] { accepted = RequestCardWaitStop(); });
  EXPECT_FALSE(RunMode());
  EXPECT_TRUE(accepted);
  EXPECT_EQ(Elapsed(), 2500_ms);
  EXPECT_EQ(status.text, kRemove);
  EXPECT_EQ(status.color, clYellow);
  EXPECT_TRUE(device->received().empty());
  ExpectLineReleased();
  // The next run is a fresh one.
  device->InsertCard(0_ms);
  EXPECT_TRUE(RunMode());
}

TEST_F(ModeSettingTest, StopRequestOnceTheDialogueHasBegunIsRefused) {
  bool accepted = true;
  pump.PostAt(clock.Start() + 600_ms, [&] { accepted = RequestCardWaitStop(); });
  EXPECT_TRUE(RunMode());
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(RequestCardWaitStop());  // and with no run at all
}

// --- one run at a time

TEST_F(ModeSettingTest, SecondStartFromInsideAWaitIsRefusedAndTouchesNothing) {
  RecordingStatus other(clock);
  bool nested = true;
  pump.PostAt(clock.Start() + 300_ms, [&] {
    EXPECT_TRUE(InterfaceRunActive());
    nested = SetInterfaceMode("Corvane", "6.00", 30, kPort, other);
  });
  EXPECT_TRUE(RunMode("SmartMouse", "3.58"));
  EXPECT_FALSE(nested);
  EXPECT_TRUE(other.events.empty());
  EXPECT_EQ(status.text, "SmartMouse 3.58MHz set successfully");
  EXPECT_EQ(device->received(), (Bytes{0x2A, 0x41, 0x2A, 0x42, 0x81, 0x2A, 0x44, 0x00, 0x2A, 0x43}));
  EXPECT_EQ(device->openCount(), 1);
}

// --- the reset-delay box is read when its command is sent

TEST_F(ModeSettingTest, ResetDelayBoxToggledDuringTheBreakChangesWhatIsSent) {
  pump.PostAt(clock.Start() + 600_ms, [&] { resetDelay.ticked = false; });
  EXPECT_TRUE(RunMode());
  EXPECT_EQ(device->settings().resetDelay, BYTE{0x01});
  const Bytes& rx = device->received();
  EXPECT_EQ(Bytes(rx.end() - 5, rx.end() - 2), (Bytes{0x2A, 0x44, 0x01}));
}

class ResetDelayTest : public RunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ResetDelayTest, TickedSendsZeroUntickedSendsOne) {
  resetDelay.ticked = GetParam();
  EXPECT_TRUE(RunMode("Corvane", "3.68"));
  EXPECT_EQ(device->settings().resetDelay, BYTE{GetParam() ? BYTE{0x00} : BYTE{0x01}});
  EXPECT_EQ(ResetDelayCommand(GetParam()), GetParam() ? "2A 44 00" : "2A 44 01");
}

INSTANTIATE_TEST_SUITE_P(Box, ResetDelayTest, ::testing::Bool());

}  // namespace
