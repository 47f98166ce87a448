#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include "message_pump.h"

namespace platform {

void QtMessagePump::RunQueued() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtMessagePump::WaitUntil(MonoTime deadline) {
  Clock& clock = CurrentClock();
  auto* dispatcher = QAbstractEventDispatcher::instance();
  if (clock.IsVirtual() || dispatcher == nullptr) {
    clock.SleepUntil(deadline);
    return;
  }
  const auto remaining = std::chrono::ceil<Millis>(deadline - clock.Now());
  if (remaining.count() <= 0) return;
  // The timer bounds the wait; any other event ends it sooner.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(remaining);
  dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace platform
