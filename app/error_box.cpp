#include "error_box.h"

#include <QMessageBox>

#include "services.h"
#include "window_logic.h"

void ShowErrorBox(const QString& caption, const QString& text) {
  if (const auto& box = platform::InstalledServices().errorBox) {
    box(caption.toStdString(), text.toStdString());
    return;
  }
  QMessageBox::critical(nullptr, caption, text);
}

void ShowErrorMessage(const std::string& message) {
  ShowErrorBox(QString::fromStdString(window_core::ErrorBoxCaption()),
               QString::fromStdString(window_core::TopLevelMessage(message)));
}
