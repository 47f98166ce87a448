// The waits of a run keep a native window alive: its queued messages are
// dispatched (through the dialog manager, so Tab, Space and Enter work), and
// a wait ends early when a message arrives.
#pragma once

#include "message_pump.h"
#include "win32.h"

class TWin32Pump final : public platform::MessagePump {
 public:
  explicit TWin32Pump(HWND dialog) : dialog_(dialog) {}
  void RunQueued() override;
  void WaitUntil(platform::MonoTime deadline) override;
  // The program's message loop, until WM_QUIT.
  int Loop();

 private:
  void Dispatch(MSG& message);
  HWND dialog_;
};
