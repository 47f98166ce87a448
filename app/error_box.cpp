#include "error_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "services.h"

void ShowErrorBox(const QString& caption, const QString& text) {
  if (const auto& box = platform::InstalledServices().errorBox) {
    box(caption.toStdString(), text.toStdString());
    return;
  }
  QMessageBox::critical(nullptr, caption, text);
}

void ShowErrorMessage(const QString& message) {
  ShowErrorBox(ApplicationTitle(QCoreApplication::applicationFilePath()), TopLevelMessage(message));
}

QString TopLevelMessage(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar('.')) return message + '.';
  return message;
}

QString ApplicationTitle(const QString& programPath) {
  QString name = QFileInfo(programPath).fileName();
  const qsizetype dot = name.indexOf('.');
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  return name.left(1) + name.mid(1).toLower();
}
