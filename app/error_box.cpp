#include "error_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace {

ErrorBoxInterceptor& Interceptor() {
  static ErrorBoxInterceptor interceptor;
  return interceptor;
}

}  // namespace

void ShowErrorBox(const QString& caption, const QString& text) {
  if (Interceptor()) {
    Interceptor()(caption, text);
    return;
  }
  QMessageBox::critical(nullptr, caption, text);
}

void ShowErrorMessage(const QString& message) {
  ShowErrorBox(ApplicationTitle(QCoreApplication::applicationFilePath()), TopLevelMessage(message));
}

void InterceptErrorBoxes(ErrorBoxInterceptor interceptor) { Interceptor() = std::move(interceptor); }

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
