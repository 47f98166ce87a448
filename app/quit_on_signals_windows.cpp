#include <atomic>

#include "quit_on_signals.h"
#include "win32.h"

// Console control events arrive on a thread of their own: the handler queues
// the close on the event loop. Windows ends the process when the handler
// returns from a closing console, so it waits there, within the five seconds
// Windows allows, until the window has closed and its choices are saved.
namespace {

constexpr DWORD kCloseWaitMs = 4000;

}  // namespace

class TQuitOnSignals::Watch {
 public:
  explicit Watch(TQuitOnSignals& owner) : owner_(owner), closed_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    active = this;
    SetConsoleCtrlHandler(OnControl, TRUE);
  }
  ~Watch() {
    SetConsoleCtrlHandler(OnControl, FALSE);
    active = nullptr;
    if (closed_ != nullptr) CloseHandle(closed_);
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

 private:
  static BOOL WINAPI OnControl(DWORD event) {
    Watch* watch = active;
    if (watch == nullptr) return FALSE;
    QMetaObject::invokeMethod(
        &watch->owner_,
        [watch] {
          watch->owner_.close_();
          SetEvent(watch->closed_);
        },
        Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT && watch->closed_ != nullptr) WaitForSingleObject(watch->closed_, kCloseWaitMs);
    return TRUE;
  }

  // The one watch Windows' handler serves; read on the handler's thread.
  static inline std::atomic<Watch*> active = nullptr;
  TQuitOnSignals& owner_;
  HANDLE closed_;
};

TQuitOnSignals::TQuitOnSignals(std::function<void()> close)
    : close_(std::move(close)), watch_(std::make_unique<Watch>(*this)) {}

TQuitOnSignals::~TQuitOnSignals() = default;
