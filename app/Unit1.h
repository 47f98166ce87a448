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
  // The port item a mode button passes: the one whose text is shown, or -1.
  int PortItem() const { return logic_.ItemIndex(TList::Port); }

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
  void SetLinkStyle(bool bold);
  void PlaceOnceShown();
  void ShowPortDevices();
  QComboBox& List(TList list) const;

  // The window as its behaviour and the run see it.
  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override;
  int Position() const override;
  void SetPosition(int position) override;
  bool Ticked() const override;
  std::string ShownText(TList list) const override;
  int FindItem(TList list, const std::string& text) const override;
  void SelectItem(TList list, int index) override;
  void SetTicked(bool ticked) override;
  void EnableModeButtons(bool enabled) override;
  TFocus Focused() const override;
  void Focus(TFocus control) override;
  void SetStatusTip(const std::string& tip) override;
  void PlaceAt(std::optional<int> left, std::optional<int> top) override;
  std::optional<window_core::TPoint> NormalPlace() const override;
  void ShowErrorBox(const std::string& caption, const std::string& text) override;
  void Close() override;
  void Finish() override;

  std::unique_ptr<Ui::TForm1> ui_;
  std::function<void()> terminate_;
  window_core::TWindowLogic logic_{*this};
  int settingsSaves_ = 0;
  // Stored edges still to apply once the window is shown.
  std::optional<int> storedXpos_, storedYpos_;
  bool placedOnceShown_ = false;
  QRect linkPlace_;  // the link's own place, which a wide address widens
};

extern TForm1* Form1;

// The names by which desktops match the running window to its desktop entry:
// Wayland's app id, and X11's WM_CLASS (the entry's StartupWMClass).
void IdentifyToDesktop();

// Creates the window, runs the message loop and returns the exit code: 0, or
// 2 for a scenario that cannot be used.
int RunProgram(QApplication& application, const WindowOptions& options = {});
