#include "Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QMouseEvent>
#include <QWindow>
#include <cstdio>
#include <optional>

#include "Scom.h"
#include "desktop_place.h"
#include "error_box.h"
#include "log.h"
#include "message_pump.h"
#include "port_box.h"
#include "quit_on_signals.h"
#include "readable_colors.h"
#include "ui_Unit1.h"
#include "win32.h"
#include "window_place.h"

TForm1* Form1 = nullptr;

namespace {

QColor ToQColor(TColor c) { return QColor(c.red, c.green, c.blue); }
TColor ToTColor(const QColor& c) {
  return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()), static_cast<std::uint8_t>(c.blue())};
}

// The window is laid out in pixels for "MS Sans Serif"; where the system lacks
// it, the nearest narrow sans serif keeps the captions inside their controls.
void SubstituteWindowFont() {
  static const bool done = [] {
    QFont::insertSubstitutions("MS Sans Serif", {"Microsoft Sans Serif", "Liberation Sans Narrow", "Arial Narrow",
                                                 "DejaVu Sans Condensed", "Liberation Sans"});
    return true;
  }();
  (void)done;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QString(":/icons/usb-corvane-config-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TForm1>()), terminate_([] { QCoreApplication::quit(); }) {
  SubstituteWindowFont();
  ui_->setupUi(this);
  Label1 = ui_->Label1;
  CorvaneButton = ui_->CorvaneButton;
  SmartMouseButton = ui_->SmartMouseButton;
  Status = ui_->Status;
  LinkLabel = ui_->LinkLabel;
  Image1 = ui_->Image1;
  ProgressBar1 = ui_->ProgressBar1;
  Label2 = ui_->Label2;
  Frequency = ui_->Frequency;
  EnableResetDelay = ui_->EnableResetDelay;
  Port = ui_->Port;

  // Names for assistive technology (the lists are labelled by their
  // captions); the captions stay as they are.
  Label1->setBuddy(Port);
  Label2->setBuddy(Frequency);
  Status->setAccessibleName("Status");
  ProgressBar1->setAccessibleName("Progress");
  Image1->setAccessibleName("Veltra Software logo");
  Image1->setAccessibleDescription("A double-click opens " + QString(window_core::kWebAddress));
  LinkLabel->setAccessibleDescription("A double-click opens this address");

  setWindowIcon(ApplicationIcon());
  // Fixed single border, close box only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(378, 155);
  SetColor(ButtonFace());
  // Navy on a light theme, the theme's link colour where navy would not read.
  QPalette linkPalette = LinkLabel->palette();
  linkPalette.setColor(QPalette::WindowText,
                       ToQColor(window_core::LinkColorOn(ToTColor(palette().color(QPalette::Window)),
                                                         ToTColor(palette().color(QPalette::Link)))));
  LinkLabel->setPalette(linkPalette);

  // Enter and the keypad's Enter press the focused button, as Space does.
  CorvaneButton->setAutoDefault(true);
  SmartMouseButton->setAutoDefault(true);
  connect(CorvaneButton, &QPushButton::clicked, this, [this] { logic_.Guarded([this] { CorvaneButtonClick(); }); });
  connect(SmartMouseButton, &QPushButton::clicked, this,
          [this] { logic_.Guarded([this] { SmartMouseButtonClick(); }); });
  connect(Port, &QComboBox::currentIndexChanged, this, [this](int index) { logic_.PortChosen(index); });
  LinkLabel->installEventFilter(this);
  Image1->installEventFilter(this);
  // Adapters come and go: what each number opens is read as the list opens.
  Port->BeforePopup = [this] { ShowPortDevices(); };
  CorvaneButton->setFocus(Qt::OtherFocusReason);

  LinkLabel->setText(QString(window_core::kWebAddress));
  linkPlace_ = LinkLabel->geometry();
  logic_.Start();
}

TForm1::~TForm1() = default;

void TForm1::ShowPortDevices() {
  const std::vector<std::string> tips = window_core::PortTips(static_cast<unsigned>(Port->count()));
  for (int i = 0; i < Port->count(); ++i) Port->setItemData(i, QString::fromStdString(tips[static_cast<std::size_t>(i)]), Qt::ToolTipRole);
}

void TForm1::RunMode(const std::string& modeName) { logic_.RunMode(modeName); }

void TForm1::CorvaneButtonClick() { RunMode("Corvane"); }
void TForm1::SmartMouseButtonClick() { RunMode("SmartMouse"); }

void TForm1::LinkLabelMouseEnter() { SetLinkStyle(true); }
void TForm1::LinkLabelMouseLeave() { SetLinkStyle(false); }

// Underlined, bold under the mouse; the label widens when the address no
// longer fits, so that it stays whole.
void TForm1::SetLinkStyle(bool bold) {
  QFont font = LinkLabel->font();
  font.setBold(bold);
  font.setUnderline(true);
  LinkLabel->setFont(font);
  const int textWidth = QFontMetrics(font).horizontalAdvance(LinkLabel->text());
  const window_core::TRect place = window_core::LinkPlace(
      {linkPlace_.x(), linkPlace_.y(), linkPlace_.width(), linkPlace_.height()}, width(), textWidth);
  LinkLabel->setGeometry(place.left, place.top, place.width, place.height);
}

void TForm1::LinkLabelDblClick() { OpenWebAddress(); }
void TForm1::Image1DblClick() { OpenWebAddress(); }

// The shell's default action for the address; its result is not examined.
void TForm1::OpenWebAddress() { ShellExecuteA(nullptr, nullptr, window_core::kWebAddress, nullptr, nullptr, SW_SHOW); }

void TForm1::showEvent(QShowEvent* event) {
  // The desktop has placed the window by the time it first shows it.
  if (QWindow* window = windowHandle(); window != nullptr && !placedOnceShown_) window->installEventFilter(this);
  QWidget::showEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    placedOnceShown_ = true;
    PlaceOnceShown();
  }
  const bool doubleClick = event->type() == QEvent::MouseButtonDblClick &&
                           static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  logic_.Guarded([&] {
    if (watched == LinkLabel) {
      if (event->type() == QEvent::Enter) LinkLabelMouseEnter();
      if (event->type() == QEvent::Leave) LinkLabelMouseLeave();
      if (doubleClick) LinkLabelDblClick();
    } else if (watched == Image1 && doubleClick) {
      Image1DblClick();
    }
  });
  return QWidget::eventFilter(watched, event);
}

// A close during the wait for the card stops the run and closes at once; once
// the dialogue has begun, the close waits for the run's end (seconds at most).
void TForm1::FormCloseQuery(QObject* /*Sender*/, bool& CanClose) { CanClose = logic_.CloseQuery(); }

void TForm1::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  FormCloseQuery(this, canClose);
  event->setAccepted(canClose);
}

// Once the desktop has placed the shown window, an edge stored alone moves
// and the other stays where the desktop put it; a stored place is checked
// again now that the frame is known.
void TForm1::PlaceOnceShown() {
  if (!storedXpos_ && !storedYpos_) return;
  move(ReachableSpot(*this, {storedXpos_.value_or(x()), storedYpos_.value_or(y())}));
  storedXpos_.reset();
  storedYpos_.reset();
}

// Both edges stored place the window before it shows; one alone waits for
// the desktop's place of the other.
void TForm1::PlaceAt(std::optional<int> left, std::optional<int> top) {
  if (!DesktopTellsPlace()) return;
  storedXpos_ = left;
  storedYpos_ = top;
  if (left && top) move(ReachableSpot(*this, {*left, *top}));
}

std::optional<window_core::TPoint> TForm1::NormalPlace() const {
  if (!DesktopTellsPlace()) return std::nullopt;
  return window_core::TPoint{x(), y()};
}

// No range check: an index naming no item leaves none selected, text empty.
void TForm1::SelectItem(TList list, int index) {
  QComboBox& box = List(list);
  if (index >= 0 && index < box.count()) {
    box.setCurrentIndex(index);
  } else {
    box.setCurrentIndex(-1);
    box.setEditText(QString());
  }
}

void TForm1::SetText(const std::string& text) { Status->setText(QString::fromStdString(text)); }

void TForm1::SetColor(TColor color) {
  // The background as the run sets it, the text in whichever of black and
  // white reads on it, whatever the theme.
  QPalette statusPalette = Status->palette();
  statusPalette.setColor(QPalette::Base, ToQColor(color));
  statusPalette.setColor(QPalette::Text, ToQColor(window_core::TextColorOn(color)));
  Status->setPalette(statusPalette);
}

TColor TForm1::ButtonFace() const {
  return ToTColor(palette().color(QPalette::Button));
}

int TForm1::Position() const { return ProgressBar1->value(); }
void TForm1::SetPosition(int position) { ProgressBar1->setValue(position); }
bool TForm1::Ticked() const { return EnableResetDelay->isChecked(); }
void TForm1::SetTicked(bool ticked) { EnableResetDelay->setChecked(ticked); }
QComboBox& TForm1::List(TList list) const { return list == TList::Port ? *static_cast<QComboBox*>(Port) : *Frequency; }
std::string TForm1::ShownText(TList list) const { return List(list).currentText().toStdString(); }
int TForm1::FindItem(TList list, const std::string& text) const {
  return List(list).findText(QString::fromStdString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TForm1::EnableModeButtons(bool enabled) {
  CorvaneButton->setEnabled(enabled);
  SmartMouseButton->setEnabled(enabled);
}

TForm1::TFocus TForm1::Focused() const {
  const QWidget* focused = focusWidget();
  if (focused == CorvaneButton) return TFocus::CorvaneButton;
  if (focused == SmartMouseButton) return TFocus::SmartMouseButton;
  return focused == Status ? TFocus::Status : TFocus::Other;
}

void TForm1::Focus(TFocus control) {
  switch (control) {
    case TFocus::CorvaneButton: CorvaneButton->setFocus(Qt::OtherFocusReason); break;
    case TFocus::SmartMouseButton: SmartMouseButton->setFocus(Qt::OtherFocusReason); break;
    case TFocus::Status: Status->setFocus(Qt::OtherFocusReason); break;
    case TFocus::Other: break;
  }
}

void TForm1::SetStatusTip(const std::string& tip) { Status->setToolTip(QString::fromStdString(tip)); }
void TForm1::Close() { close(); }

void TForm1::Finish() {
  ++settingsSaves_;  // each finished close saved once
  terminate_();
}

void TForm1::ShowErrorBox(const std::string& caption, const std::string& text) {
  ::ShowErrorBox(QString::fromStdString(caption), QString::fromStdString(text));
}

void IdentifyToDesktop() {
  QGuiApplication::setDesktopFileName("com.veltra_software.usb_corvane_config");
  QCoreApplication::setApplicationName("usb-corvane-config");
}

int RunProgram(QApplication& application, const WindowOptions& options) {
  if (!window_core::SimulateAsAsked(options)) return 2;
  platform::QtMessagePump pump;
  const platform::ScopedServices windowServices(
      [&](platform::Services& services) { window_core::AddWindowServices(services, options, pump); });
  std::unique_ptr<TForm1> form;
  try {
    form = std::make_unique<TForm1>();
  } catch (const std::exception& error) {
    ShowErrorMessage(error.what());
    return 1;
  } catch (...) {
    ShowErrorMessage("");
    return 1;
  }
  Form1 = form.get();
  TQuitOnSignals quitOnSignals([&form] { form->close(); });
  const window_core::TWindowTrace trace(options);
  form->show();
  application.exec();
  Form1 = nullptr;
  return 0;
}
