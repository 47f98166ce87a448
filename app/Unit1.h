// The main window: the user's three choices, the two mode buttons, the status
// line and progress bar the run writes into, the maker's picture and link.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "Usb_corvaneinterface.h"
#include "window_options.h"

namespace Ui {
class TForm1;
}
class QApplication;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QCheckBox;
class QLabel;
class QPushButton;
class TPortBox;

// The exception the stored settings raise; its message is shown as it stands.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TForm1 : public QWidget, private TStatusControl, private TProgressBar, private TResetDelayFlag {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // What closing the window asks of the application; tests replace it.
  void SetTerminate(std::function<void()> terminate) { terminate_ = std::move(terminate); }
  int SettingsSaves() const { return settingsSaves_; }

  QLabel* Label1;
  QPushButton* CorvaneButton;
  QPushButton* SmartMouseButton;
  QLineEdit* Status;
  QLabel* LinkLabel;
  QLabel* Image1;
  QProgressBar* ProgressBar1;
  QLabel* Label2;
  QComboBox* Frequency;
  QCheckBox* EnableResetDelay;
  TPortBox* Port;

  void FormCloseQuery(QObject* Sender, bool& CanClose);
  void CorvaneButtonClick();
  void SmartMouseButtonClick();
  void LinkLabelDblClick();
  void LinkLabelMouseEnter();
  void LinkLabelMouseLeave();
  void Image1DblClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunMode(const std::string& modeName);
  void OpenWebAddress();
  void LoadSettings();
  QPoint DefaultPlace() const;
  void SaveSettings();
  void ShowPortDevices();

  // The run's view of the window.
  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override;
  int Position() const override;
  void SetPosition(int position) override;
  bool Ticked() const override;

  std::unique_ptr<Ui::TForm1> ui_;
  std::function<void()> terminate_;
  bool closePending_ = false;
  int settingsSaves_ = 0;
};

// The item index of a combo box as the stored settings and the buttons see
// it: the item whose text is shown, or -1 when the shown text is no item's.
int ItemIndex(const QComboBox& box);

extern TForm1* Form1;
extern std::string WebAddress;

// Creates the window, runs the message loop and returns the exit code: 0, or
// 2 for a scenario that cannot be used.
int RunProgram(QApplication& application, const WindowOptions& options = {});
