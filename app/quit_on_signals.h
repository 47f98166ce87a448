// SIGTERM, SIGHUP and SIGINT close the window the normal way, so the choices
// are saved: a logout without a session manager, or Ctrl-C in the terminal
// that started it. (On Windows the native window closes with the session and
// its console: app_windows.) The handler only hands the close over to the
// window's event loop.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class TQuitOnSignals final : public QObject {
 public:
  // `close` runs in the event loop for each signal that arrives.
  explicit TQuitOnSignals(std::function<void()> close);
  // Puts the previous handlers back.
  ~TQuitOnSignals() override;
  TQuitOnSignals(const TQuitOnSignals&) = delete;
  TQuitOnSignals& operator=(const TQuitOnSignals&) = delete;

 private:
  class Watch;  // how the platform's signals reach the event loop
  std::function<void()> close_;
  std::unique_ptr<Watch> watch_;
};
