// Writes a picture of the window after a successful run against the emulator
// (virtual time, so it takes no time): window_screenshot OUT.png
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "Unit1.h"
#include "clock.h"
#include "corvane_emulator.h"
#include "message_pump.h"
#include "port_table.h"
#include "registry.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) return 2;
  QTemporaryDir settings;
  platform::registry::SetLocations(settings.path().toStdString() + "/m", settings.path().toStdString() + "/u");
  platform::ports::UseMachinePorts(false);
  platform::ports::MapEndpoint(1, emulator::CorvaneEmulator::Create());
  platform::VirtualClock clock;
  platform::ScopedClock useClock(clock);
  platform::QtMessagePump pump;
  platform::ScopedPump usePump(pump);

  TForm1 form;
  form.show();
  QTest::mouseClick(form.SmartMouseButton, Qt::LeftButton);
  QApplication::processEvents();
  const QImage image = form.grab().toImage().convertToFormat(QImage::Format_RGB888);
  return image.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
