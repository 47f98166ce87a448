#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "readable_colors.h"
#include "scenario.h"
#include "toolkit_options.h"
#include "window_startup.h"
#include "window_test.h"

namespace {

using emulator::CorvaneEmulator;
using testing_support::operator""_ms;
using testing_support::Text;
using testing_support::WindowTest;

class WindowLayoutTest : public WindowTest {};

TEST_F(WindowLayoutTest, IsTheFixedSmallWindowOfTheDescription) {
  TForm1& w = MakeForm();
  EXPECT_EQ(w.objectName(), "Form1");
  EXPECT_EQ(w.windowTitle(), "USB Corvane SmartMouse Config V1.0");
  EXPECT_EQ(w.size(), QSize(378, 155));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  const Qt::WindowFlags flags = w.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(w.font().family(), "MS Sans Serif");
  EXPECT_EQ(w.font().pointSize(), 8);
  // Its own icon, at the sizes desktops ask for.
  EXPECT_EQ(w.windowIcon().availableSizes(),
            (QList<QSize>{{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
  // A single click on either does nothing, so neither shows a hand.
  EXPECT_EQ(w.LinkLabel->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(w.Image1->cursor().shape(), Qt::ArrowCursor);
}

struct ControlCase {
  const char* name;
  QRect geometry;
  QString text;
  friend void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }
};

class ControlTest : public WindowTest, public ::testing::WithParamInterface<ControlCase> {};

QString TextOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  return {};
}

TEST_P(ControlTest, SitsWhereTheDescriptionPutsIt) {
  TForm1& w = MakeForm();
  auto* control = w.findChild<QWidget*>(GetParam().name);
  ASSERT_NE(control, nullptr) << GetParam().name;
  EXPECT_EQ(control->geometry(), GetParam().geometry);
  EXPECT_EQ(TextOf(control), GetParam().text);
  // The caption whole, in the fonts this machine has.
  const int textWidth = control->fontMetrics().horizontalAdvance(GetParam().text);
  if (qobject_cast<QLabel*>(control) != nullptr && !GetParam().text.isEmpty()) {
    EXPECT_LE(textWidth, control->contentsRect().width()) << GetParam().text.toStdString();
  } else if (qobject_cast<QCheckBox*>(control) != nullptr) {
    EXPECT_LE(control->sizeHint().width(), control->width());
  } else if (qobject_cast<QPushButton*>(control) != nullptr) {
    EXPECT_LE(textWidth + 8, control->width());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ControlTest,
    ::testing::Values(ControlCase{"Label1", {8, 12, 70, 13}, "Com port:"},
                      ControlCase{"LinkLabel", {165, 96, 204, 13}, "https://www.veltra-software.example/"},
                      ControlCase{"Image1", {165, 8, 204, 89}, ""},
                      ControlCase{"Label2", {8, 36, 70, 13}, "Frequency"},
                      ControlCase{"Port", {80, 8, 73, 21}, "Com1"},
                      ControlCase{"CorvaneButton", {8, 80, 65, 25}, "Corvane"},
                      ControlCase{"SmartMouseButton", {80, 80, 73, 25}, "SmartMouse"},
                      ControlCase{"Status", {8, 128, 361, 21}, ""},
                      ControlCase{"ProgressBar1", {8, 112, 361, 12}, ""},
                      ControlCase{"Frequency", {80, 32, 73, 21}, "3.58MHz"},
                      ControlCase{"EnableResetDelay", {8, 56, 145, 17}, "Enable Reset Delay"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowLayoutTest, ListsSettingsAndFonts) {
  TForm1& w = MakeForm();
  QStringList ports;
  for (int i = 0; i < w.Port->count(); ++i) ports << w.Port->itemText(i);
  EXPECT_EQ(ports, QStringList({"Com1", "Com2", "Com3", "Com4", "Com5", "Com6", "Com7", "Com8", "COM9", "COM10",
                                "COM11", "COM12", "COM13", "COM14", "COM15", "COM16"}));
  EXPECT_EQ(w.Port->currentIndex(), 0);
  EXPECT_TRUE(w.Port->isEditable());
  QStringList clocks;
  for (int i = 0; i < w.Frequency->count(); ++i) clocks << w.Frequency->itemText(i);
  EXPECT_EQ(clocks, QStringList({"3.58MHz", "3.68MHz", "6.00MHz"}));
  EXPECT_TRUE(w.Frequency->isEditable());
  EXPECT_TRUE(w.EnableResetDelay->isChecked());
  EXPECT_FALSE(w.Status->isReadOnly());
  EXPECT_TRUE(w.Status->font().bold());
  EXPECT_EQ(w.Status->font().family(), "MS Sans Serif");
  EXPECT_EQ(StatusColor(), w.palette().color(QPalette::Button));
  EXPECT_EQ(w.ProgressBar1->minimum(), 0);
  EXPECT_EQ(w.ProgressBar1->maximum(), 15);
  EXPECT_EQ(w.ProgressBar1->value(), 0);
  EXPECT_EQ(w.LinkLabel->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  EXPECT_FALSE(w.LinkLabel->font().bold());
  EXPECT_FALSE(w.LinkLabel->font().underline());
  EXPECT_EQ(w.LinkLabel->alignment(), Qt::AlignCenter);
  EXPECT_EQ(w.Image1->alignment(), Qt::AlignCenter);
  EXPECT_FALSE(w.Image1->hasScaledContents());
  EXPECT_EQ(w.Image1->pixmap().size(), QSize(204, 89));
  EXPECT_FALSE(QImage(":/app/veltra_logo.png").hasAlphaChannel());
}

TEST_F(WindowLayoutTest, TabOrderStartsAtCorvaneWhichHasTheFocus) {
  TForm1& w = MakeForm();
  w.show();
  std::vector<QString> order;
  QWidget* widget = w.CorvaneButton;
  do {
    // Unnamed children (the combo boxes' edit fields) belong to their box.
    if ((widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty()) {
      order.push_back(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  } while (widget != w.CorvaneButton && order.size() < 20);
  EXPECT_EQ(order, (std::vector<QString>{"CorvaneButton", "SmartMouseButton", "Port", "Frequency",
                                         "EnableResetDelay", "Status"}));
  EXPECT_EQ(w.focusWidget(), w.CorvaneButton);
  EXPECT_FALSE(w.ProgressBar1->focusPolicy() & Qt::TabFocus);
}

// Adapters come and go while the window is open: the tips are read afresh
// each time the list opens.
TEST_F(WindowLayoutTest, PortItemsShowWhatTheyOpenWhenTheListOpens) {
  TForm1& w = MakeForm();
  platform::ports::MapDevice(2, "/nonexistent/pts/99");
  w.Port->showPopup();
  EXPECT_EQ(w.Port->itemData(0, Qt::ToolTipRole).toString(), "simulated interface");
  EXPECT_EQ(w.Port->itemData(1, Qt::ToolTipRole).toString(), "/nonexistent/pts/99 (mapped device)");
  EXPECT_EQ(w.Port->itemData(2, Qt::ToolTipRole).toString(), "No device on this machine");
  w.Port->hidePopup();
  platform::ports::Unmap(2);
  w.Port->showPopup();
  EXPECT_EQ(w.Port->itemData(1, Qt::ToolTipRole).toString(), "No device on this machine");
  w.Port->hidePopup();
}

TEST_F(WindowLayoutTest, TrafficLogIsOffAfterConstruction) {
  SerialPort.LogTraffic = true;
  MakeForm();
  EXPECT_FALSE(SerialPort.LogTraffic);
}

// --- the mode buttons

class ModeButtonTest : public WindowTest {};

TEST_F(ModeButtonTest, SmartMouseButtonRunsTheWholeDialogue) {
  TForm1& w = MakeForm();
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "SmartMouse 3.58MHz set successfully");
  EXPECT_EQ(StatusColor(), QColor(0, 255, 0));
  EXPECT_EQ(w.ProgressBar1->value(), 15);
  EXPECT_EQ(device->settings().modeClock, BYTE{0x81});
  EXPECT_EQ(device->settings().resetDelay, BYTE{0x00});
}

TEST_F(ModeButtonTest, CorvaneButtonWithTheOtherChoices) {
  auto sixteen = CorvaneEmulator::Create();
  platform::ports::MapEndpoint(16, sixteen);
  TForm1& w = MakeForm();
  w.Port->setCurrentIndex(15);
  w.Frequency->setCurrentIndex(2);
  w.EnableResetDelay->setChecked(false);
  QTest::mouseClick(w.CorvaneButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "Corvane 6.00MHz set successfully");
  EXPECT_EQ(sixteen->settings().modeClock, BYTE{0x03});
  EXPECT_EQ(sixteen->settings().resetDelay, BYTE{0x01});
}

TEST_F(ModeButtonTest, TypedPortNameSelectsNoItemAndPassesPortZero) {
  platform::ports::UnmapAll();
  platform::ports::MapEndpoint(0, device);
  TForm1& w = MakeForm();
  w.Port->setEditText("my adapter");
  EXPECT_EQ(w.PortItem(), -1);
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "SmartMouse 3.58MHz set successfully");
  EXPECT_EQ(device->openCount(), 1);
}

TEST_F(ModeButtonTest, TypedPortNameOfAnItemSelectsIt) {
  TForm1& w = MakeForm();
  w.Port->setEditText("COM12");
  EXPECT_EQ(w.PortItem(), 11);
}

struct TypedClockCase {
  QString typed;
  std::string passed;
  BYTE modeClock;
};

class TypedClockTest : public WindowTest, public ::testing::WithParamInterface<TypedClockCase> {};

TEST_P(TypedClockTest, FirstFourCharactersArePassed) {
  TForm1& w = MakeForm();
  w.Frequency->setEditText(GetParam().typed);
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text().toStdString(), "SmartMouse " + GetParam().passed + "MHz set successfully");
  EXPECT_EQ(device->settings().modeClock, GetParam().modeClock);
}

INSTANTIATE_TEST_SUITE_P(Texts, TypedClockTest,
                         ::testing::Values(TypedClockCase{"6.0", "6.0", 0x80},
                                           TypedClockCase{"abcdefg", "abcd", 0x80},
                                           TypedClockCase{"", "", 0x80},
                                           TypedClockCase{"3.68 MHz", "3.68", 0x82}));

TEST_F(ModeButtonTest, ButtonsAreDisabledDuringARunAndEnabledAfter) {
  TForm1& w = MakeForm();
  bool checked = false;
  clock.At(clock.Start() + 300_ms, [&] {
    checked = true;
    EXPECT_FALSE(w.CorvaneButton->isEnabled());
    EXPECT_FALSE(w.SmartMouseButton->isEnabled());
  });
  QTest::mouseClick(w.CorvaneButton, Qt::LeftButton);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(w.CorvaneButton->isEnabled());
  EXPECT_TRUE(w.SmartMouseButton->isEnabled());
}

TEST_F(ModeButtonTest, CloseDuringTheCardWaitStopsTheRunAndClosesAtOnce) {
  device->InsertCard(CorvaneEmulator::kCardNeverRemoved);
  TForm1& w = MakeForm();
  w.show();
  bool hiddenAtOnce = false;
  clock.At(clock.Start() + 1200_ms, [&] { w.close(); });
  clock.At(clock.Start() + 1250_ms, [&] { hiddenAtOnce = !w.isVisible(); });
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_TRUE(hiddenAtOnce);
  EXPECT_EQ(clock.Elapsed(), 1500_ms);  // the run ended at its next look at the slot
  EXPECT_EQ(w.Status->text(), "Please remove card from card slot.");
  EXPECT_TRUE(device->received().empty());
  EXPECT_FALSE(device->isOpen());
  EXPECT_EQ(w.SettingsSaves(), 1);
  EXPECT_EQ(terminations, 1);
}

TEST_F(ModeButtonTest, CloseDuringTheDialogueWaitsForTheRunToEnd) {
  TForm1& w = MakeForm();
  w.show();
  bool stillOpen = false;
  clock.At(clock.Start() + 1300_ms, [&] { w.close(); });
  clock.At(clock.Start() + 2000_ms, [&] { stillOpen = w.isVisible() && terminations == 0; });
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(w.Status->text(), "SmartMouse 3.58MHz set successfully");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.SettingsSaves(), 1);
  EXPECT_EQ(terminations, 1);
}

TEST_F(ModeButtonTest, CloseWhenIdleSavesAndTerminates) {
  TForm1& w = MakeForm();
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_EQ(w.SettingsSaves(), 1);
  EXPECT_EQ(terminations, 1);
}

// --- the link label and the picture

class LinkTest : public WindowTest {};

TEST_F(LinkTest, LabelIsPlainThenBoldUnderlinedThenUnderlined) {
  TForm1& w = MakeForm();
  EXPECT_FALSE(w.LinkLabel->font().underline());
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(w.LinkLabel, &enter);
  EXPECT_TRUE(w.LinkLabel->font().bold());
  EXPECT_TRUE(w.LinkLabel->font().underline());
  // The whole bold address fits, about the link's own centre.
  EXPECT_GE(w.LinkLabel->width(), QFontMetrics(w.LinkLabel->font()).horizontalAdvance(w.LinkLabel->text()));
  EXPECT_NEAR(w.LinkLabel->geometry().center().x(), 165 + 204 / 2, 1);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(w.LinkLabel, &leave);
  EXPECT_FALSE(w.LinkLabel->font().bold());
  EXPECT_TRUE(w.LinkLabel->font().underline());
}

class DoubleClickTest : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DoubleClickTest, DoubleClickOpensTheAddressASingleClickDoesNot) {
  TForm1& w = MakeForm();
  w.show();
  auto* target = w.findChild<QWidget*>(GetParam());
  QTest::mouseClick(target, Qt::LeftButton);
  EXPECT_TRUE(opened.empty());
  QTest::mouseDClick(target, Qt::LeftButton);
  EXPECT_EQ(opened, (std::vector<std::string>{"https://www.veltra-software.example/"}));
}

INSTANTIATE_TEST_SUITE_P(Targets, DoubleClickTest, ::testing::Values("LinkLabel", "Image1"));

// --- start-up

class StartUpTest : public WindowTest {};

// The toolkit's line as it stands, then where the value is and what helps;
// the program ends with 1.
TEST_F(StartUpTest, BadStoredSettingEndsTheStartWithTheMessageAndNoWindow) {
  StoreValues({{"ComPort", Text("1")}});
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  EXPECT_EQ(RunProgram(*app), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first.toStdString(), window_core::ApplicationTitle(QCoreApplication::applicationFilePath().toStdString()));
  EXPECT_EQ(boxes[0].second, "Invalid data type for 'ComPort'\nin the settings file " +
                                 QString::fromStdString(KeyFilePath(machineFolder)) +
                                 ": remove that value, or set it as a number.");
  for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
}

TEST_F(StartUpTest, ProgramShowsTheWindowAndEndsWithZeroWhenItIsClosed) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  bool shown = false;
  QTimer::singleShot(0, [&] {
    ASSERT_NE(Form1, nullptr);
    shown = Form1->isVisible();
    Form1->close();
  });
  EXPECT_EQ(RunProgram(*app), 0);
  EXPECT_TRUE(shown);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(StoredValues(machineFolder).size(), 6u);
}

// A logout without a session manager (SIGHUP) or a plain kill (SIGTERM) closes
// the window the normal way: the choices are saved.
class QuitSignalTest : public WindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(QuitSignalTest, ClosesTheWindowTheNormalWay) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  QTimer::singleShot(0, [] { ::raise(GetParam()); });
  EXPECT_EQ(RunProgram(*app), 0);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(StoredValues(machineFolder).size(), 6u);
  struct sigaction after {};
  sigaction(GetParam(), nullptr, &after);
  EXPECT_EQ(after.sa_handler, SIG_DFL);  // the program's handler went with its window
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignalTest, ::testing::Values(SIGTERM, SIGHUP, SIGINT));

// Under nohup the hang-up stays ignored: the window stays until it is closed.
TEST_F(WindowTest, HangUpIgnoredAtTheStartStaysIgnored) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  struct sigaction ignore {}, before{}, after{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGHUP, &ignore, &before);
  bool stayed = false;
  QTimer::singleShot(0, [&] {
    ::raise(SIGHUP);
    QCoreApplication::processEvents();  // where a handler's close would come
    stayed = Form1 != nullptr && Form1->isVisible();
    if (Form1 != nullptr) Form1->close();
  });
  EXPECT_EQ(RunProgram(*app), 0);
  EXPECT_TRUE(stayed);
  sigaction(SIGHUP, &before, &after);
  EXPECT_EQ(after.sa_handler, SIG_IGN);
}

// Qt's own options, with one dash or two, with their values, are left to
// QApplication; the window's options and what follows "--" stay.
TEST(ToolkitOptionsTest, AreLeftToQt) {
  EXPECT_EQ(WithoutToolkitOptions({"usb-corvane-config", "-style", "Fusion", "-reverse", "--simulate", "-platform=xcb",
                                   "--display", ":1", "--trace=t.log", "--", "-reverse"}),
            (std::vector<std::string>{"usb-corvane-config", "--simulate", "--trace=t.log", "--", "-reverse"}));
  EXPECT_EQ(WithoutToolkitOptions({"usb-corvane-config", "-stylish"}),
            (std::vector<std::string>{"usb-corvane-config", "-stylish"}));
}

// --- whole runs in the window, pressed as a user presses the buttons

class WindowRunTest : public WindowTest {};

TEST_F(WindowRunTest, SpaceOnTheFocusedCorvaneButtonRunsItToSuccess) {
  TForm1& w = MakeForm();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  ASSERT_EQ(QApplication::focusWidget(), w.CorvaneButton);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(w.Status->text(), "Corvane 3.58MHz set successfully");
  EXPECT_EQ(StatusColor(), QColor(0, 255, 0));
  EXPECT_EQ(w.ProgressBar1->value(), 15);
  EXPECT_FALSE(device->isOpen());
  EXPECT_TRUE(w.Status->toolTip().isEmpty());
}

// Space, Enter and the keypad's Enter press the focused button. A second
// press during the run lands on the status line, never in the port box, and
// the focus is back on the button at the end.
class KeyPressTest : public WindowTest,
                     public ::testing::WithParamInterface<std::pair<Qt::Key, Qt::KeyboardModifier>> {};

TEST_P(KeyPressTest, RunsTheFocusedButtonAndGivesTheFocusBack) {
  TForm1& w = MakeForm();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.SmartMouseButton->setFocus();
  const auto [key, modifier] = GetParam();
  clock.After(100_ms, [&] { QTest::keyClick(QApplication::focusWidget(), key, modifier); });
  QTest::keyClick(w.SmartMouseButton, key, modifier);
  EXPECT_EQ(w.Status->text(), "SmartMouse 3.58MHz set successfully");
  EXPECT_EQ(QApplication::focusWidget(), w.SmartMouseButton);
  EXPECT_EQ(w.Port->currentText(), "Com1");
  EXPECT_TRUE(w.close());
  EXPECT_EQ(StoredValues(machineFolder).at("ComPort"), testing_support::Dword(1));
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyPressTest,
                         ::testing::Values(std::pair{Qt::Key_Space, Qt::NoModifier},
                                           std::pair{Qt::Key_Return, Qt::NoModifier},
                                           std::pair{Qt::Key_Enter, Qt::KeypadModifier}));

// A screen reader hears each control by its label or name, and the run's
// outcome: the status line has the focus while its text changes.
TEST_F(WindowRunTest, ControlsAreNamedAndTheOutcomeIsSpoken) {
  TForm1& w = MakeForm();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  auto name = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name); };
  auto labelOf = [](QWidget* widget) {
    const auto relations = QAccessible::queryAccessibleInterface(widget)->relations(QAccessible::Label);
    return relations.empty() ? QString() : relations.front().first->text(QAccessible::Name);
  };
  EXPECT_EQ(labelOf(w.Port), "Com port:");
  EXPECT_EQ(labelOf(w.Frequency), "Frequency");
  EXPECT_EQ(name(w.Status), "Status");
  EXPECT_EQ(name(w.ProgressBar1), "Progress");
  EXPECT_FALSE(name(w.Image1).isEmpty());
  EXPECT_EQ(w.Label1->text(), "Com port:");

  // A reader speaks the text changes of the focused object.
  std::vector<std::pair<QString, bool>> spoken;  // the status text, and whether it had the focus
  QObject::connect(w.Status, &QLineEdit::textChanged, &w, [&](const QString& text) {
    spoken.emplace_back(text, QApplication::focusWidget() == w.Status);
  });
  QTest::keyClick(w.CorvaneButton, Qt::Key_Space);
  ASSERT_FALSE(spoken.empty());
  EXPECT_EQ(spoken.back(), std::make_pair(QString("Corvane 3.58MHz set successfully"), true));
}

// A dark theme: the status text and the link still read on their backgrounds.
TEST_F(WindowRunTest, StatusAndLinkReadOnADarkTheme) {
  const QPalette light = QApplication::palette();
  QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Link, QColor(42, 130, 218));
  QApplication::setPalette(dark);
  auto contrast = [](const QColor& a, const QColor& b) {
    return window_core::Contrast({std::uint8_t(a.red()), std::uint8_t(a.green()), std::uint8_t(a.blue())},
                                 {std::uint8_t(b.red()), std::uint8_t(b.green()), std::uint8_t(b.blue())});
  };
  TForm1& w = MakeForm();
  const auto statusReads = [&] {
    return contrast(w.Status->palette().color(QPalette::Text), w.Status->palette().color(QPalette::Base));
  };
  EXPECT_GE(statusReads(), window_core::kReadableContrast);
  EXPECT_GE(contrast(w.LinkLabel->palette().color(QPalette::WindowText), w.palette().color(QPalette::Window)),
            window_core::kReadableContrast);
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(StatusColor(), QColor(0, 255, 0));
  EXPECT_GE(statusReads(), window_core::kReadableContrast);
  QApplication::setPalette(light);
}

// A card in the slot: the line blinks yellow and red every 500 ms until the
// card is out, then the dialogue runs.
TEST_F(WindowRunTest, CardInTheSlotBlinksYellowAndRedThenTheDialogueRuns) {
  device->InsertCard(2400_ms);
  TForm1& w = MakeForm();
  std::vector<QColor> seen;
  for (int ms = 250; ms <= 2750; ms += 500) {
    clock.At(clock.Start() + std::chrono::milliseconds(ms), [&] { seen.push_back(StatusColor()); });
  }
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  const QColor yellow(255, 255, 0), red(255, 0, 0), face = w.palette().color(QPalette::Button);
  EXPECT_EQ(seen, (std::vector<QColor>{yellow, red, yellow, red, yellow, face}));
  EXPECT_EQ(w.Status->text(), "SmartMouse 3.58MHz set successfully");
}

struct WindowFailure {
  const char* name;
  emulator::Command step;
  emulator::Fault fault;
  int progress;
  const char* toolTip;  // the explanation, when the port is to blame
};

class WindowFailureTest : public WindowTest, public ::testing::WithParamInterface<WindowFailure> {};

TEST_P(WindowFailureTest, ShowsTheFailureOnRedWhereTheRunStopped) {
  device->Inject(GetParam().step, GetParam().fault);
  TForm1& w = MakeForm();
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "Error setting SmartMouse mode.");
  EXPECT_EQ(StatusColor(), QColor(255, 0, 0));
  EXPECT_EQ(w.ProgressBar1->value(), GetParam().progress);
  EXPECT_EQ(w.Status->toolTip().toStdString(), GetParam().toolTip);
  EXPECT_TRUE(w.SmartMouseButton->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WindowFailureTest,
    ::testing::Values(
        WindowFailure{"EntrySilent", emulator::Command::Entry, emulator::Fault::Silence, 11, ""},
        WindowFailure{"VersionWrong", emulator::Command::Version, emulator::Fault::WrongByte, 11, ""},
        WindowFailure{"ModeShort", emulator::Command::Mode, emulator::Fault::Short, 12, ""},
        WindowFailure{"ResetDelayLate", emulator::Command::ResetDelay, emulator::Fault::LateByte, 13, ""},
        WindowFailure{"UnpluggedAtTheMode", emulator::Command::Mode, emulator::Fault::UnpluggedInReply, 12,
                      "simulated interface disappeared (was the adapter unplugged?)."}),
    [](const auto& info) { return std::string(info.param.name); });

// The reason a port did not open is where the user looks, until a run
// succeeds.
TEST_F(WindowRunTest, OpenFailureIsExplainedInTheToolTipUntilARunSucceeds) {
  device->RefuseOpen(emulator::OpenRefusal::Permission);
  TForm1& w = MakeForm();
  w.ProgressBar1->setValue(4);
  QTest::mouseClick(w.CorvaneButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "Could not open comport!");
  EXPECT_EQ(StatusColor(), QColor(255, 0, 0));
  EXPECT_EQ(w.ProgressBar1->value(), 4);
  EXPECT_EQ(w.Status->toolTip(), "Permission denied on simulated interface: members of the group 'dialout' may use "
                                 "it; join it with: sudo usermod -aG dialout $USER, then log in again.");
  device->RefuseOpen(std::nullopt);
  QTest::mouseClick(w.CorvaneButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "Corvane 3.58MHz set successfully");
  EXPECT_TRUE(w.Status->toolTip().isEmpty());
}

// --simulate: every port of the list opens the simulated interface, which
// the scenario makes misbehave; the tool tips say so.
TEST_F(WindowRunTest, SimulateOptionPutsTheScenarioBehindEveryPort) {
  const QString scenario = folder.path() + "/in-use.json";
  {
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"open": "in-use"})");
  }
  platform::ports::UnmapAll();
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  QString status, tip, portTip;
  QTimer::singleShot(0, [&] {
    Form1->Port->setCurrentIndex(15);
    Form1->Port->showPopup();
    portTip = Form1->Port->itemData(15, Qt::ToolTipRole).toString();
    Form1->Port->hidePopup();
    QTest::mouseClick(Form1->SmartMouseButton, Qt::LeftButton);
    status = Form1->Status->text();
    tip = Form1->Status->toolTip();
    Form1->close();
  });
  EXPECT_EQ(RunProgram(*app, WindowOptions{true, scenario.toStdString(), std::nullopt}), 0);
  EXPECT_EQ(status, "Could not open comport!");
  EXPECT_EQ(tip, "simulated interface is in use by another program: minicom (process 4242).");
  EXPECT_EQ(portTip, "simulated interface");
}

}  // namespace
