// The main window: the user's three choices, the two mode buttons, the status
// line and progress bar the run writes into, the maker's picture and link.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "stored_settings.h"
#include "window_logic.h"
#include "window_startup.h"

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

// The window's controls; what they do is the window's behaviour
// (window_core), of which this is the Qt view.
class TForm1 : public QWidget, private window_core::TWindowView {
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
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunMode(const std::string& modeName);
  void OpenWebAddress();
  void LoadSettings();
  void PlaceAt(QPoint wanted);
  void PlaceOnceShown();
  void SaveSettings();
  void ShowPortDevices();

  // The window as its behaviour and the run see it.
  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override;
  int Position() const override;
  void SetPosition(int position) override;
  bool Ticked() const override;
  int PortIndex() const override;
  std::string ClockText() const override;
  void EnableModeButtons(bool enabled) override;
  TFocus Focused() const override;
  void Focus(TFocus control) override;
  void SetStatusTip(const std::string& tip) override;
  void Close() override;

  std::unique_ptr<Ui::TForm1> ui_;
  std::function<void()> terminate_;
  window_core::TWindowLogic logic_{*this};
  int settingsSaves_ = 0;
  // Stored edges still to apply once the window is shown.
  std::optional<int> storedXpos_, storedYpos_;
  bool placedOnceShown_ = false;
};

// The item index of a combo box as the stored settings and the buttons see
// it: the item whose text is shown, or -1 when the shown text is no item's.
int ItemIndex(const QComboBox& box);

extern TForm1* Form1;
extern std::string WebAddress;

// The names by which desktops match the running window to its desktop entry:
// Wayland's app id, and X11's WM_CLASS (the entry's StartupWMClass).
void IdentifyToDesktop();

// Creates the window, runs the message loop and returns the exit code: 0, or
// 2 for a scenario that cannot be used.
int RunProgram(QApplication& application, const WindowOptions& options = {});
