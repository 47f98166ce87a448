#include "Usb_corvaneinterface.h"

#include "Scom.h"
#include "Utils.h"
#include "hex.h"

TRunWindow RunWindow;

namespace {

enum class RunPhase { Idle, Opening, CardWait, Dialogue };

struct RunState {
  RunPhase phase = RunPhase::Idle;
  bool stopRequested = false;
};

RunState& Run() {
  static RunState state;
  return state;
}

TRunOutcome& Outcome() {
  static TRunOutcome outcome;
  return outcome;
}

// The port's failure counts only when the line went away under the run.
platform::comm::CommFailure LostLine() {
  const auto& failure = platform::comm::LastFailure();
  return platform::comm::LineLost(failure) ? failure : platform::comm::CommFailure{};
}

// Marks a run active for its lifetime and closes the port on every way out,
// so a failed run never leaves the port held for the next one.
class ActiveRun {
 public:
  ActiveRun() { Run() = {RunPhase::Opening, false}; }
  ~ActiveRun() {
    if (SerialPort.IsOpen) SerialPort.Close();
    Run() = {};
  }
  ActiveRun(const ActiveRun&) = delete;
  ActiveRun& operator=(const ActiveRun&) = delete;

  void Enter(RunPhase phase) { Run().phase = phase; }
  bool StopRequested() const { return Run().stopRequested; }
};

// Used while nothing is attached, so a run never touches a null window.
class DetachedWindow final : public TProgressBar, public TResetDelayFlag {
 public:
  int Position() const override { return position_; }
  void SetPosition(int position) override { position_ = position; }
  bool Ticked() const override { return true; }

 private:
  int position_ = 0;
};

TProgressBar& Progress() {
  static DetachedWindow detached;
  return RunWindow.ProgressBar1 != nullptr ? *RunWindow.ProgressBar1 : detached;
}

bool ResetDelayTicked() {
  return RunWindow.EnableResetDelay == nullptr || RunWindow.EnableResetDelay->Ticked();
}

BYTE Rx(int index) { return SerialPort.RxBuffer[static_cast<std::size_t>(index)]; }

void StepProgress() {
  TProgressBar& bar = Progress();
  bar.SetPosition(bar.Position() + 1);
}

// Break held through twelve 100 ms waits (the progress bar moves 0..11), the
// bytes that came meanwhile dropped, break cleared; the interface answers 0x06.
bool EnterCommandState() {
  SerialPort.SetBreak();
  SerialPort.ClearRx();
  for (int i = 0; i <= 11; ++i) {
    TimedWait.Delay(100);
    Progress().SetPosition(i);
  }
  SerialPort.ReadWithDeadline(5, 100);
  SerialPort.ClearRx();
  SerialPort.ClearBreak();
  TimedWait.Delay(100);
  SerialPort.ReadWithDeadline(5, 200);
  return Rx(0) == kAcknowledge;
}

bool QueryVersion() {
  SerialPort.SendHex("2A 41");
  SerialPort.ReadWithDeadline(6, 500);
  return Rx(4) == 0x10 && Rx(5) == kAcknowledge;
}

bool SendAcknowledged(const std::string& command) {
  SerialPort.SendHex(command);
  SerialPort.ReadWithDeadline(4, 500);
  return Rx(3) == kAcknowledge;
}

void SendFinal() {
  SerialPort.SendHex("2A 43");
  SerialPort.ReadWithDeadline(3, 250);
}

}  // namespace

BYTE ModeClockByte(const std::string& modeName, const std::string& clockText) {
  BYTE value = modeName == "SmartMouse" ? 0x80 : 0x00;
  if (clockText == "3.58") {
    value |= 1;
  } else if (clockText == "3.68") {
    value |= 2;
  } else if (clockText == "6.00") {
    value |= 3;
  }
  return value;
}

std::string ModeClockCommand(const std::string& modeName, const std::string& clockText) {
  std::string command = "2A 42 ";
  platform::AppendHexByte(command, ModeClockByte(modeName, clockText));
  return command;
}

std::string ResetDelayCommand(bool enabled) { return enabled ? "2A 44 00" : "2A 44 01"; }

std::string TRunOutcome::Explanation() const {
  if (result == Result::PortNotOpened || platform::comm::LineLost(failure)) return platform::comm::Explain(failure);
  return {};
}

const TRunOutcome& LastRunOutcome() { return Outcome(); }

bool InterfaceRunActive() { return Run().phase != RunPhase::Idle; }

bool RequestCardWaitStop() {
  if (Run().phase != RunPhase::CardWait) return false;
  Run().stopRequested = true;
  return true;
}

bool SetInterfaceMode(const std::string& ModeName, const std::string& ClockText, int Tries,
                      DWORD PortNumber, TStatusControl& StatusControl) {
  // A start from a handler nested in a run's wait touches nothing.
  if (InterfaceRunActive()) return false;
  ActiveRun run;
  Outcome() = {};
  platform::comm::ClearLastFailure();

  using Step = TRunOutcome::Step;
  auto reach = [](Step step) { Outcome().step = step; };
  auto fail = [&] {
    Outcome().result = TRunOutcome::Result::NotAcknowledged;
    Outcome().failure = LostLine();
    StatusControl.SetText("Error setting " + ModeName + " mode.");
    StatusControl.SetColor(clRed);
    return false;
  };

  if (!SerialPort.Open(PortNumber, 9600, 8, ONESTOPBIT, NOPARITY, false)) {
    Outcome().result = TRunOutcome::Result::PortNotOpened;
    Outcome().failure = platform::comm::LastFailure();
    StatusControl.SetText("Could not open comport!");
    StatusControl.SetColor(clRed);
    return false;
  }
  StatusControl.SetColor(StatusControl.ButtonFace());

  if (!SerialPort.CarrierDetect()) {
    run.Enter(RunPhase::CardWait);
    reach(Step::CardWait);
    StatusControl.SetText("Please remove card from card slot.");
    // Looks at the line after every half of a blink; a stop request counts
    // as a card that was never taken out.
    auto waitAndLook = [&](TColor color) {
      StatusControl.SetColor(color);
      TimedWait.Delay(500);
      return run.StopRequested() || SerialPort.CarrierDetect();
    };
    for (int i = 0; i < Tries; ++i) {
      if (waitAndLook(clYellow) || waitAndLook(clRed)) break;
    }
    if (run.StopRequested() || !SerialPort.CarrierDetect()) {
      Outcome().result = TRunOutcome::Result::CardNotRemoved;
      Outcome().failure = LostLine();
      return false;
    }
    StatusControl.SetColor(StatusControl.ButtonFace());
    TimedWait.Delay(500);
    if (run.StopRequested()) {
      Outcome().result = TRunOutcome::Result::CardNotRemoved;
      Outcome().failure = LostLine();
      return false;
    }
  }
  run.Enter(RunPhase::Dialogue);

  StatusControl.SetText("Wait Setting " + ModeName + " " + ClockText + "MHz.");
  reach(Step::Entry);
  if (!EnterCommandState()) return fail();

  reach(Step::Version);
  if (!QueryVersion()) return fail();
  StepProgress();
  Outcome().firmware = std::to_string(Rx(3)) + "." + std::to_string(Rx(2));
  StatusControl.SetText("Firmware " + Outcome().firmware);

  reach(Step::Mode);
  if (!SendAcknowledged(ModeClockCommand(ModeName, ClockText))) return fail();
  StepProgress();

  reach(Step::ResetDelay);
  if (!SendAcknowledged(ResetDelayCommand(ResetDelayTicked()))) return fail();
  StepProgress();

  reach(Step::Final);
  TimedWait.Delay(500);
  SendFinal();
  SerialPort.Close();
  StepProgress();
  TimedWait.Delay(500);

  Outcome().result = TRunOutcome::Result::Succeeded;
  Outcome().step = Step::Done;
  StatusControl.SetText(ModeName + " " + ClockText + "MHz set successfully");
  StatusControl.SetColor(clLime);
  return true;
}
