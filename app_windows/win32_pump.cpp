#include "win32_pump.h"

void TWin32Pump::Dispatch(MSG& message) {
  if (dialog_ != nullptr && IsWindow(dialog_) && IsDialogMessageA(dialog_, &message)) return;
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

void TWin32Pump::RunQueued() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop to see
      return;
    }
    Dispatch(message);
  }
}

void TWin32Pump::WaitUntil(platform::MonoTime deadline) {
  platform::Clock& clock = platform::CurrentClock();
  if (clock.IsVirtual()) {
    clock.SleepUntil(deadline);
    return;
  }
  const auto remaining = std::chrono::ceil<platform::Millis>(deadline - clock.Now()).count();
  if (remaining <= 0) return;
  MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(remaining), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

int TWin32Pump::Loop() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) return got == 0 ? static_cast<int>(message.wParam) : 1;
    Dispatch(message);
  }
}
