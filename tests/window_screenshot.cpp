// Writes a picture of the window after a successful run against the
// simulated interface (in virtual time, so it takes no time), and fails
// unless the run succeeded and the status line shows green:
//   window_screenshot [--dark] OUT.png [DESKTOP-ENTRY]
// On a desktop's display (xcb, e.g. under tests/support/with_display) the
// picture is taken from the screen with the window manager's frame; offscreen
// it is the window alone. On a desktop's display the window's WM_CLASS must
// also agree with DESKTOP-ENTRY's StartupWMClass, when one is given.
#include <QApplication>
#include <QPalette>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "Unit1.h"
#include "clock.h"
#include "corvane_emulator.h"
#include "message_pump.h"
#include "port_table.h"
#include "services.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList arguments = QCoreApplication::arguments().mid(1);
  if (arguments.removeAll("--dark") > 0) {
    // A dark theme, as Fusion's dark palettes have it.
    QApplication::setStyle("Fusion");
    QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Link, QColor(42, 130, 218));
    QApplication::setPalette(dark);
  }
  if (arguments.isEmpty()) return 2;
  QTemporaryDir settings;
  platform::VirtualClock clock;
  platform::QtMessagePump pump;
  platform::Services services;
  services.clock = &clock;
  services.pump = &pump;
  services.machinePorts = false;
  services.registryMachineFolder = settings.path().toStdString() + "/m";
  services.registryUserFolder = settings.path().toStdString() + "/u";
  platform::InstallServices(services);
  platform::ports::MapEndpoint(1, emulator::CorvaneEmulator::Create());

  IdentifyToDesktop();
  TForm1 form;
  form.show();
  const bool onADesktop = QGuiApplication::platformName() != "offscreen";
  if (onADesktop) {
    // Until the window manager has mapped and framed it.
    if (!QTest::qWaitForWindowExposed(&form) ||
        !QTest::qWaitFor([&] { return form.frameGeometry() != form.geometry(); }, 5000)) {
      std::fprintf(stderr, "window_screenshot: the window was not shown with a frame\n");
      return 1;
    }
  }
  // The dock ties the window to its desktop entry (the third argument) by
  // WM_CLASS's class.
  if (onADesktop && arguments.size() > 1) {
    QFile entry(arguments[1]);
    entry.open(QIODevice::ReadOnly);
    const QString wmClass = QString::fromUtf8(entry.readAll()).section("StartupWMClass=", 1).section('\n', 0, 0);
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(form.winId()), "WM_CLASS"});
    xprop.waitForFinished();
    const QString property = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    if (wmClass.isEmpty() || !property.endsWith(", \"" + wmClass + "\"")) {
      std::fprintf(stderr, "window_screenshot: WM_CLASS is %s, the entry's StartupWMClass \"%s\"\n",
                   qPrintable(property), qPrintable(wmClass));
      return 1;
    }
  }
  QTest::mouseClick(form.SmartMouseButton, Qt::LeftButton);
  QApplication::processEvents();
  if (form.Status->text() != "SmartMouse 3.58MHz set successfully") {
    std::fprintf(stderr, "window_screenshot: the run ended in \"%s\"\n", qPrintable(form.Status->text()));
    return 1;
  }
  QTest::qWait(0);  // the repaint of the green line
  const QRect frame = form.frameGeometry();
  const QImage image = (onADesktop ? form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                                   : form.grab())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB888);
  // Past the end of the text, inside the field's border.
  const QRect field = form.Status->geometry();
  const QPoint status = QPoint(field.right() - 6, field.center().y()) +
                        (onADesktop ? form.geometry().topLeft() - frame.topLeft() : QPoint());
  if (image.pixelColor(status * form.devicePixelRatioF()) != QColor(0, 255, 0)) {
    std::fprintf(stderr, "window_screenshot: the status line is not green in the picture\n");
    return 1;
  }
  return image.save(arguments[0], "PNG") ? 0 : 1;
}
