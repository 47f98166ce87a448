#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <filesystem>
#include <functional>
#include <QTest>

#include "file_size_limit.h"
#include "window_test.h"

namespace {

using platform::registry::Value;
using testing_support::Dword;
using testing_support::Text;
using testing_support::WindowTest;

class SettingsTest : public WindowTest {};

TEST_F(SettingsTest, FirstStartCreatesTheKeyAndShowsTheDescription) {
  TForm1& w = MakeForm();
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(KeyFilePath(machineFolder))));
  EXPECT_TRUE(StoredValues(machineFolder).empty());
  EXPECT_EQ(w.Port->currentText(), "Com1");
  EXPECT_EQ(w.Frequency->currentText(), "3.58MHz");
  EXPECT_TRUE(w.EnableResetDelay->isChecked());
  EXPECT_TRUE(w.Status->text().isEmpty());
  EXPECT_EQ(w.ProgressBar1->value(), 0);
}

TEST_F(SettingsTest, CloseWritesAllSixValuesAndTheNextStartAppliesThem) {
  TForm1& w = MakeForm();
  w.Port->setCurrentIndex(15);
  w.Frequency->setCurrentIndex(2);
  w.EnableResetDelay->setChecked(false);
  w.move(123, 77);
  w.close();
  EXPECT_EQ(StoredValues(machineFolder),
            (platform::registry::Values{{"Version", Dword(10)}, {"ComPort", Dword(16)}, {"Xpos", Dword(123)},
                                          {"Ypos", Dword(77)}, {"Frequency", Dword(2)}, {"ResetDelay", Dword(0)}}));
  TForm1& again = MakeForm();
  EXPECT_EQ(again.Port->currentText(), "COM16");
  EXPECT_EQ(again.Frequency->currentText(), "6.00MHz");
  EXPECT_FALSE(again.EnableResetDelay->isChecked());
  EXPECT_EQ(again.pos(), QPoint(123, 77));
}

TEST_F(SettingsTest, FileIsTheRegistryExportFormat) {
  StoreValues({{"ComPort", Dword(1)}});
  QFile file(QString::fromStdString(KeyFilePath(machineFolder)));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Veltra_Software\\USB_Corvane]\r\n"
            "\"ComPort\"=dword:00000001\r\n\r\n");
}

struct StoredCase {
  const char* name;
  std::int32_t value;
  int expectedIndex;
  QString expectedText;
  friend void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.name << '=' << c.value; }
};

class StoredComPortTest : public SettingsTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredComPortTest, SelectsTheItemOneBelow) {
  StoreValues({{"ComPort", Dword(GetParam().value)}});
  TForm1& w = MakeForm();
  EXPECT_EQ(w.Port->currentIndex(), GetParam().expectedIndex);
  EXPECT_EQ(w.Port->currentText(), GetParam().expectedText);
  EXPECT_EQ(w.PortItem() + 1, GetParam().expectedIndex + 1);  // the port a button passes
}

INSTANTIATE_TEST_SUITE_P(Values, StoredComPortTest,
                         ::testing::Values(StoredCase{"ComPort", 16, 15, "COM16"}, StoredCase{"ComPort", 1, 0, "Com1"},
                                           StoredCase{"ComPort", 0, -1, ""}, StoredCase{"ComPort", 17, -1, ""},
                                           StoredCase{"ComPort", -1, -1, ""}));

class StoredFrequencyTest : public SettingsTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredFrequencyTest, SelectsThatItem) {
  StoreValues({{"Frequency", Dword(GetParam().value)}});
  TForm1& w = MakeForm();
  EXPECT_EQ(w.Frequency->currentIndex(), GetParam().expectedIndex);
  EXPECT_EQ(w.Frequency->currentText(), GetParam().expectedText);
}

INSTANTIATE_TEST_SUITE_P(Values, StoredFrequencyTest,
                         ::testing::Values(StoredCase{"Frequency", 2, 2, "6.00MHz"},
                                           StoredCase{"Frequency", 0, 0, "3.58MHz"},
                                           StoredCase{"Frequency", -1, -1, ""},
                                           StoredCase{"Frequency", 3, -1, ""}));

TEST_F(SettingsTest, NoFrequencySelectedPassesAnEmptyClockText) {
  StoreValues({{"Frequency", Dword(3)}});
  TForm1& w = MakeForm();
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "SmartMouse MHz set successfully");
  w.close();
  EXPECT_EQ(StoredValues(machineFolder).at("Frequency"), Dword(-1));
}

class StoredResetDelayTest : public SettingsTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(StoredResetDelayTest, ZeroClearsTheBoxAnythingElseTicksIt) {
  StoreValues({{"ResetDelay", Dword(GetParam())}});
  TForm1& w = MakeForm();
  EXPECT_EQ(w.EnableResetDelay->isChecked(), GetParam() != 0);
  w.close();
  EXPECT_EQ(StoredValues(machineFolder).at("ResetDelay"), Dword(GetParam() != 0 ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(Values, StoredResetDelayTest, ::testing::Values(0, 1, 2, -1));

class StoredVersionTest : public SettingsTest, public ::testing::WithParamInterface<Value> {};

TEST_P(StoredVersionTest, IsIgnoredAndOverwrittenWithTen) {
  StoreValues({{"Version", GetParam()}});
  MakeForm().close();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(StoredValues(machineFolder).at("Version"), Dword(10));
}

INSTANTIATE_TEST_SUITE_P(Values, StoredVersionTest,
                         ::testing::Values(Dword(3), Dword(-7), Text("ten"),
                                           Value{REG_BINARY, {1, 2, 3, 4, 5, 6}}));

// A place the user could not reach is moved onto the screen as the window
// shows; the stored values stay until the close.
TEST_F(SettingsTest, PositionOffEveryScreenIsBroughtOnScreen) {
  StoreValues({{"Xpos", Dword(3000)}, {"Ypos", Dword(2000)}});
  const QByteArray stored = FileBytes(KeyFilePath(machineFolder));
  TForm1& w = MakeForm();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_TRUE(w.screen()->availableGeometry().contains(w.frameGeometry())) << w.x() << "," << w.y();
  EXPECT_EQ(FileBytes(KeyFilePath(machineFolder)), stored);
}

// An edge stored alone moves that edge; the other stays where the desktop
// puts a window with nothing stored.
TEST_F(SettingsTest, EachEdgeAppliesOnItsOwn) {
  auto shownAt = [this] {
    TForm1& w = MakeForm();
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    return w.pos();
  };
  const QPoint desktops = shownAt();
  StoreValues({{"Xpos", Dword(300)}});
  EXPECT_EQ(shownAt(), QPoint(300, desktops.y()));
  std::filesystem::remove(KeyFilePath(machineFolder));
  StoreValues({{"Ypos", Dword(40)}});
  EXPECT_EQ(shownAt(), QPoint(desktops.x(), 40));
}

// Text typed over the port list names no item; the close keeps the item
// chosen last, so that the next start still opens a port.
TEST_F(SettingsTest, TextTypedOverThePortListKeepsTheItemChosenLast) {
  TForm1& w = MakeForm();
  w.Port->setCurrentIndex(4);
  w.Port->lineEdit()->selectAll();
  QTest::keyClicks(w.Port->lineEdit(), " ");
  EXPECT_TRUE(w.close());
  EXPECT_EQ(StoredValues(machineFolder).at("ComPort"), Dword(5));
}

// The registry compares names without regard to case: a name written in
// another case is the same value, and keeps the case it was first written in.
TEST_F(SettingsTest, NamesInAnotherCaseAreTheSameValues) {
  StoreValues({{"comport", Dword(2)}, {"RESETDELAY", Dword(0)}});
  TForm1& w = MakeForm();
  EXPECT_EQ(w.Port->currentText(), "Com2");
  EXPECT_FALSE(w.EnableResetDelay->isChecked());
  w.close();
  const auto stored = StoredValues(machineFolder);
  EXPECT_EQ(stored.size(), 6u);
  EXPECT_EQ(stored.find("ComPort")->first, "comport");
}

struct BadValueCase {
  const char* name;
  Value value;
  std::string message;
  friend void PrintTo(const BadValueCase& c, std::ostream* os) { *os << c.name; }
};

class BadStoredValueTest : public SettingsTest, public ::testing::WithParamInterface<BadValueCase> {};

TEST_P(BadStoredValueTest, EndsTheConstructionWithItsMessage) {
  // ComPort comes before Frequency in the reading order, so it is applied.
  StoreValues({{"ComPort", Dword(3)}, {"Frequency", GetParam().value}, {"ResetDelay", Dword(0)}});
  try {
    MakeForm();
    FAIL() << "construction went on";
  } catch (const ERegistryException& error) {
    // The toolkit's line as it stands; then where and what helps.
    const std::string message = error.what();
    EXPECT_EQ(message.substr(0, message.find('\n')), GetParam().message);
    EXPECT_NE(message.find("\nin the settings file "), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadStoredValueTest,
    ::testing::Values(BadValueCase{"ShortText", Text("2"), "Invalid data type for 'Frequency'"},
                      BadValueCase{"LongText", Text("6.00MHz"), "Failed to get data for 'Frequency'"},
                      BadValueCase{"Binary4", Value{REG_BINARY, {2, 0, 0, 0}}, "Invalid data type for 'Frequency'"},
                      BadValueCase{"Qword", Value{REG_QWORD, {2, 0, 0, 0, 0, 0, 0, 0}},
                                   "Failed to get data for 'Frequency'"}),
    [](const auto& info) { return std::string(info.param.name); });

// A disk that fills up while the settings are written.
TEST_F(SettingsTest, SaveThatCannotBeWrittenIsReportedOnceAndTheWindowStillCloses) {
  StoreValues({{"ComPort", Dword(3)}});
  const QByteArray before = FileBytes(KeyFilePath(machineFolder));
  TForm1& w = MakeForm();
  w.show();
  w.Port->setCurrentIndex(7);
  {
    testing_support::FileSizeLimit full(40);
    EXPECT_TRUE(w.close());
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].second, "Failed to set data for 'Version'");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(terminations, 1);
  EXPECT_EQ(FileBytes(KeyFilePath(machineFolder)), before);  // the old file stands, byte for byte
  EXPECT_EQ(QDir(QFileInfo(QString::fromStdString(KeyFilePath(machineFolder))).absolutePath())
                .entryList(QDir::Files | QDir::Hidden),
            (QStringList{"USB_Corvane.reg", "USB_Corvane.reg.lock"}));  // no temporary file left
}

// Another program keeps the settings locked: the start says so and shows the
// defaults; the close says the choices were not saved, and by whom.
TEST_F(SettingsTest, SettingsLockedByAnotherProgramAreNeitherLostSilentlyNorOverwritten) {
  StoreValues({{"ComPort", Dword(3)}});
  const QByteArray before = FileBytes(KeyFilePath(machineFolder));
  QProcess holder;
  holder.start("flock", {QString::fromStdString(KeyFilePath(machineFolder)) + ".lock", "sh", "-c",
                         "echo locked; exec sleep 60"});
  ASSERT_TRUE(holder.waitForReadyRead(10000)) << "flock did not start";
  std::optional<platform::ScopedServices> quickLock;
  quickLock.emplace([](platform::Services& services) { services.registryLockWaitMs = 100; });
  const std::string held = "flock (process " + std::to_string(holder.processId()) + ") holds the settings in " +
                           KeyFilePath(machineFolder);
  ::testing::internal::CaptureStderr();
  TForm1& w = MakeForm();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "usb-corvane-config: " + held + "; the window starts with its defaults.\n");
  EXPECT_EQ(w.Port->currentText(), "Com1");
  w.Port->setCurrentIndex(7);
  EXPECT_TRUE(w.close());
  quickLock.reset();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].second.toStdString(), "The settings were not saved: " + held + ".");
  EXPECT_EQ(FileBytes(KeyFilePath(machineFolder)), before);
  holder.kill();
  holder.waitForFinished();
}

TEST_F(SettingsTest, RefusedMachineFolderFallsBackToAPerUserCopy) {
  // A folder beneath a plain file cannot be created, even by root.
  QFile blocker(QString::fromStdString(folder.path().toStdString() + "/blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  machineFolder = folder.path().toStdString() + "/blocker/machine";
  const platform::ScopedServices blocked([&](platform::Services& services) {
    services.registryMachineFolder = machineFolder;
  });

  TForm1& w = MakeForm();
  w.Port->setCurrentIndex(4);
  w.close();
  EXPECT_EQ(StoredValues(userFolder).at("ComPort"), Dword(5));
  EXPECT_EQ(MakeForm().Port->currentText(), "Com5");
}

TEST_F(SettingsTest, NoWritableFolderAtAllStartsAndClosesNormally) {
  QFile blocker(QString::fromStdString(folder.path().toStdString() + "/blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const platform::ScopedServices blocked([&](platform::Services& services) {
    services.registryMachineFolder = folder.path().toStdString() + "/blocker/machine";
    services.registryUserFolder = folder.path().toStdString() + "/blocker/user";
  });
  TForm1& w = MakeForm();
  EXPECT_EQ(w.Port->currentText(), "Com1");
  EXPECT_TRUE(w.close());
  EXPECT_EQ(terminations, 1);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsTest, DamagedFileEndsTheStartWithAMessageSayingWhere) {
  QDir().mkpath(QFileInfo(QString::fromStdString(KeyFilePath(machineFolder))).absolutePath());
  QFile file(QString::fromStdString(KeyFilePath(machineFolder)));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\"ComPort\"=dword:zz\r\n");
  file.close();
  try {
    MakeForm();
    FAIL() << "construction went on";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(std::string(error.what()), "The settings file " + KeyFilePath(machineFolder) +
                                              " is damaged (line 4): a dword needs 1 to 8 hex digits");
  }
}

}  // namespace

namespace {

using testing_support::WindowTest;

struct DamagedCase {
  const char* name;
  std::function<QByteArray()> content;
  std::string problem;
  friend void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }
};

class DamagedSettingsTest : public WindowTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedSettingsTest, StartStopsWithAClearMessage) {
  const QString path = QString::fromStdString(KeyFilePath(machineFolder));
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(GetParam().content());
  file.close();
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  EXPECT_EQ(RunProgram(*app), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].second.toStdString(),
            "The settings file " + KeyFilePath(machineFolder) + " is damaged" + GetParam().problem + ".");
  // Nothing was written over the file the user may still mend.
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), GetParam().content());
}

const QByteArray kGoodFile =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Veltra_Software\\USB_Corvane]\r\n"
    "\"ComPort\"=dword:00000001\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedSettingsTest,
    ::testing::Values(
        DamagedCase{"Truncated", [] { return kGoodFile.left(60); }, " (line 3): malformed key line"},
        DamagedCase{"Binary", [] { return QByteArray("\x7f" "ELF\x02\x01\x01\x00\x00\x00", 10); },
                    ": the file holds binary data, not text"},
        DamagedCase{"Huge", [] { return kGoodFile + QByteArray(3 << 20, ';'); },
                    ": the file is too large to be a settings key"},
        DamagedCase{"Empty", [] { return QByteArray(); }, ": empty file: no registry header"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TypedCase {
  const char* name;
  QString text;
  friend void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }
};

class TypedInputTest : public WindowTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(TypedInputTest, OddTextInTheBoxesBreaksNeitherTheRunNorTheSettings) {
  TForm1& w = MakeForm();
  w.show();
  // QTest types printable ASCII only; the rest goes in as pasted text would.
  QString typeable;
  for (QChar c : GetParam().text.left(200)) {
    if (c.unicode() >= 0x20 && c.unicode() < 0x7f) typeable += c;
  }
  for (QComboBox* box : {static_cast<QComboBox*>(w.Port), w.Frequency}) {
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), typeable);
    box->setEditText(GetParam().text);
  }
  w.Status->setText(GetParam().text);
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "Could not open comport!");  // no item selected: port 0, which nothing opens
  w.Port->setCurrentIndex(0);
  QTest::mouseClick(w.SmartMouseButton, Qt::LeftButton);
  EXPECT_EQ(w.Status->text(), "SmartMouse " + GetParam().text.left(4) + "MHz set successfully");
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(boxes.empty());
  const auto stored = StoredValues(machineFolder);
  EXPECT_EQ(stored.at("ComPort"), testing_support::Dword(1));
  EXPECT_EQ(stored.at("Frequency"), testing_support::Dword(-1));
  EXPECT_EQ(MakeForm().Port->currentText(), "Com1");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedInputTest,
    ::testing::Values(TypedCase{"VeryLong", QString(100000, 'x')},
                      TypedCase{"ControlCharacters", QString::fromLatin1("\x01\x02\t\r\n\x1b[31m\x7f", 11)},
                      TypedCase{"NonAscii", QString::fromUtf8("3,58 МГц ✓ 頻率 🙂")},
                      TypedCase{"Quotes", QString::fromUtf8("\"]\\[HKEY_LOCAL_MACHINE]\"=dword:1")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
