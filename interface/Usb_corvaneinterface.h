// The interface's command set and the mode-setting run behind both buttons.
// No toolkit here: the run talks to the window through three small interfaces.
#pragma once

#include <cstdint>
#include <string>

#include "comm_failure.h"
#include "win32.h"

struct TColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const TColor&, const TColor&) = default;
};

inline constexpr TColor clYellow{255, 255, 0};
inline constexpr TColor clRed{255, 0, 0};
inline constexpr TColor clLime{0, 255, 0};

// The one-line status field the run writes into.
class TStatusControl {
 public:
  virtual void SetText(const std::string& text) = 0;
  virtual void SetColor(TColor color) = 0;
  // The system's button-face colour, which only the window knows.
  virtual TColor ButtonFace() const = 0;

 protected:
  ~TStatusControl() = default;
};

class TProgressBar {
 public:
  virtual int Position() const = 0;
  virtual void SetPosition(int position) = 0;

 protected:
  ~TProgressBar() = default;
};

class TResetDelayFlag {
 public:
  virtual bool Ticked() const = 0;

 protected:
  ~TResetDelayFlag() = default;
};

// What the run reaches of the main window besides its arguments: its progress
// bar and its reset-delay box. The window (or the command line, or a test)
// sets these before the first run.
struct TRunWindow {
  TProgressBar* ProgressBar1 = nullptr;
  TResetDelayFlag* EnableResetDelay = nullptr;
};
extern TRunWindow RunWindow;

inline constexpr BYTE kAcknowledge = 0x06;

// The mode/clock byte: bit 7 for "SmartMouse", bits 1-0 the clock code.
BYTE ModeClockByte(const std::string& modeName, const std::string& clockText);
std::string ModeClockCommand(const std::string& modeName, const std::string& clockText);
std::string ResetDelayCommand(bool enabled);

bool SetInterfaceMode(const std::string& ModeName, const std::string& ClockText, int Tries,
                      DWORD PortNumber, TStatusControl& StatusControl);

// How the last run ended, for a caller that says more than the status line:
// the command line's explanation, the window's tool tip.
struct TRunOutcome {
  enum class Result { None, Succeeded, PortNotOpened, CardNotRemoved, NotAcknowledged };
  // The step the run reached: where it failed, or Done.
  enum class Step { Opening, CardWait, Entry, Version, Mode, ResetDelay, Final, Done };
  Result result = Result::None;  // None while a run goes on, or when it was stopped
  Step step = Step::Opening;
  platform::comm::CommFailure failure;  // why the port did not open, or that it went away mid-run
  std::string firmware;                 // the version the interface gave ("1.5"), once it was read

  // What went wrong with the port and what would help; empty when the port
  // is not to blame.
  std::string Explanation() const;
  // The status line holds a failure text: "Could not open comport!" or
  // "Error setting ... mode.".
  bool ShowsFailure() const { return result == Result::PortNotOpened || result == Result::NotAcknowledged; }
};
const TRunOutcome& LastRunOutcome();

// True while a run is in progress (a second start is then refused).
bool InterfaceRunActive();
// Asks the active run to stop. Honoured only while it waits for the card to be
// taken out, when nothing has been sent yet; returns whether it will stop.
bool RequestCardWaitStop();
