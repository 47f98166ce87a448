// The port list: a combo box that lets the window refresh what each item
// opens right before the list is shown, since adapters come and go.
#pragma once

#include <QComboBox>
#include <functional>

class TPortBox final : public QComboBox {
 public:
  using QComboBox::QComboBox;

  std::function<void()> BeforePopup;

  void showPopup() override {
    if (BeforePopup) BeforePopup();
    QComboBox::showPopup();
  }
};
