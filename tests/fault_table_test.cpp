// Every fault the emulator can inject, at every step of the dialogue: what
// the user is shown, the result, and that the line is released in time.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "comm_failure.h"
#include "run_bound.h"
#include "run_test.h"

namespace {

using emulator::Command;
using emulator::CorvaneEmulator;
using emulator::Fault;
using emulator::OpenStep;
using testing_support::kButtonFace;
using testing_support::RunTest;

struct DialogueFault {
  Command step;
  Fault fault;
  friend void PrintTo(const DialogueFault& f, std::ostream* os) {
    *os << emulator::CommandName(f.step) << ' ' << emulator::FaultName(f.fault);
  }
};

// Where the run fails, or nullopt when it succeeds. A surplus shifts the next
// reply, so it fails the step after; the final reply is never examined.
std::optional<Command> FailingStep(const DialogueFault& f) {
  if (f.step == Command::Final) return std::nullopt;
  if (f.fault == Fault::Surplus) {
    if (f.step == Command::ResetDelay) return std::nullopt;
    return static_cast<Command>(static_cast<int>(f.step) + 1);
  }
  return f.step;
}

TRunOutcome::Step StepOf(Command step) {
  switch (step) {
    case Command::Entry: return TRunOutcome::Step::Entry;
    case Command::Version: return TRunOutcome::Step::Version;
    case Command::Mode: return TRunOutcome::Step::Mode;
    case Command::ResetDelay: return TRunOutcome::Step::ResetDelay;
    case Command::Final: return TRunOutcome::Step::Final;
  }
  return TRunOutcome::Step::Done;
}

int ProgressAfterFailureAt(Command step) {
  switch (step) {
    case Command::Entry:
    case Command::Version: return 11;
    case Command::Mode: return 12;
    default: return 13;
  }
}

// A run looks at the line about fifty times, twice or three times a read; a
// host spinning on a dead or silent line would look thousands of times.
constexpr int kMostLineLooks = 80;

class DialogueFaultTest : public RunTest, public ::testing::WithParamInterface<DialogueFault> {};

TEST_P(DialogueFaultTest, OutcomeLineReleasedAndBounded) {
  const DialogueFault f = GetParam();
  device->Inject(f.step, f.fault);
  const bool done = RunMode("SmartMouse", "3.58");
  const auto failing = FailingStep(f);
  EXPECT_EQ(done, !failing.has_value());
  const TRunOutcome& outcome = LastRunOutcome();
  EXPECT_EQ(outcome.result, failing ? TRunOutcome::Result::NotAcknowledged : TRunOutcome::Result::Succeeded);
  EXPECT_EQ(outcome.step, failing ? StepOf(*failing) : TRunOutcome::Step::Done);
  if (failing) {
    EXPECT_EQ(status.text, "Error setting SmartMouse mode.");
    EXPECT_EQ(status.color, clRed);
    EXPECT_EQ(progress.position, ProgressAfterFailureAt(*failing));
  } else {
    EXPECT_EQ(status.text, "SmartMouse 3.58MHz set successfully");
    EXPECT_EQ(status.color, clLime);
    EXPECT_EQ(progress.position, 15);
  }
  ExpectLineReleased();
  EXPECT_LE(Elapsed(), run_bound::Total(0));
  EXPECT_LE(device->lineLooks(), kMostLineLooks);
  const bool unplugged = f.fault == Fault::Unplugged || f.fault == Fault::UnpluggedInReply;
  EXPECT_EQ(outcome.Explanation(),
            unplugged && failing ? "simulated interface disappeared (was the adapter unplugged?)." : "");
}

std::vector<DialogueFault> AllDialogueFaults() {
  std::vector<DialogueFault> all;
  for (Command step : {Command::Entry, Command::Version, Command::Mode, Command::ResetDelay, Command::Final}) {
    for (Fault fault : emulator::kAllFaults) {
      // Write failures concern commands; the entry sends none.
      if (step != Command::Entry || fault != Fault::WriteFailure) all.push_back({step, fault});
    }
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(Steps, DialogueFaultTest, ::testing::ValuesIn(AllDialogueFaults()),
                         [](const auto& info) {
                           std::string name = std::string(emulator::CommandName(info.param.step)) + "_" +
                                              emulator::FaultName(info.param.fault);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

class OpenFaultTest : public RunTest, public ::testing::WithParamInterface<OpenStep> {};

TEST_P(OpenFaultTest, CouldNotOpenAndNothingHeld) {
  device->FailOpenAt(GetParam());
  progress.position = 4;
  EXPECT_FALSE(RunMode());
  EXPECT_EQ(status.text, "Could not open comport!");
  EXPECT_EQ(status.color, clRed);
  EXPECT_EQ(progress.position, 4);
  EXPECT_EQ(LastRunOutcome().result, TRunOutcome::Result::PortNotOpened);
  EXPECT_EQ(LastRunOutcome().step, TRunOutcome::Step::Opening);
  EXPECT_NE(LastRunOutcome().failure.systemError, 0);
  EXPECT_TRUE(device->received().empty());
  ExpectLineReleased();
  EXPECT_EQ(Elapsed(), platform::Nanos(0));
}

INSTANTIATE_TEST_SUITE_P(Steps, OpenFaultTest,
                         ::testing::Values(OpenStep::CreateFile, OpenStep::SetCommTimeouts, OpenStep::SetupComm,
                                           OpenStep::GetCommState, OpenStep::SetCommState));

class CardWaitFaultTest : public RunTest, public ::testing::WithParamInterface<int> {};

TEST_P(CardWaitFaultTest, NeverRemovedEndsWithinTheBound) {
  device->InsertCard(CorvaneEmulator::kCardNeverRemoved);
  EXPECT_FALSE(RunMode("SmartMouse", "3.58", GetParam()));
  EXPECT_EQ(status.text, "Please remove card from card slot.");
  EXPECT_EQ(status.color, GetParam() > 0 ? clRed : kButtonFace);
  EXPECT_EQ(LastRunOutcome().result, TRunOutcome::Result::CardNotRemoved);
  EXPECT_EQ(LastRunOutcome().step, TRunOutcome::Step::CardWait);
  ExpectLineReleased();
  EXPECT_EQ(Elapsed(), std::chrono::seconds(std::max(GetParam(), 0)));
  EXPECT_LE(Elapsed(), run_bound::Total(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Tries, CardWaitFaultTest, ::testing::Values(0, 1, 5, 30));

TEST_F(RunTest, CardTakenOutAtTheLastMomentStaysWithinTheBound) {
  device->InsertCard(std::chrono::milliseconds(29'999));
  device->Rule(Command::Version).lastByteDelay = std::chrono::milliseconds(600);
  EXPECT_FALSE(RunMode());
  EXPECT_LE(Elapsed(), run_bound::Total(30));
  ExpectLineReleased();
}

}  // namespace
