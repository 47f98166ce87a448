// SIGTERM, SIGHUP and SIGINT close the window the normal way, so the choices
// are saved: a logout without a session manager, or Ctrl-C in the terminal
// that started it. The handler only writes to a socket pair; the window's
// event loop reads it, as Qt's "Calling Qt Functions From Unix Signal
// Handlers" describes.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class TQuitOnSignals final : public QObject {
 public:
  // `close` runs in the event loop for each signal that arrives.
  explicit TQuitOnSignals(std::function<void()> close);
  // Puts the previous handlers back.
  ~TQuitOnSignals() override;
  TQuitOnSignals(const TQuitOnSignals&) = delete;
  TQuitOnSignals& operator=(const TQuitOnSignals&) = delete;

 private:
  std::function<void()> close_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
