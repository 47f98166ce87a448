#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_size_limit.h"
#include "registry.h"
#include "registry_file.h"
#include "services.h"
#include "win32.h"

namespace {

using platform::registry::KeyFile;
using platform::registry::ParseKeyFile;
using platform::registry::Value;

TEST(KeyFileTest, EveryValueKindReadsBackAsWritten) {
  KeyFile key;
  key.path = "HKEY_LOCAL_MACHINE\\Software\\Veltra_Software\\USB_Corvane";
  key.values["ComPort"] = {REG_DWORD, {0x10, 0, 0, 0}};
  key.values["Negative"] = {REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}};
  key.values["Name"] = {REG_SZ, {'a', '"', '\\', 'b', 0}};
  key.values["Lines"] = {REG_SZ, {'a', '\n', 'b', 0}};  // not printable: kept as hex
  key.values["Blob"] = {REG_BINARY, std::vector<std::uint8_t>(100, 0xAB)};
  key.values["Multi"] = {REG_MULTI_SZ, {'x', 0, 0}};
  key.values["ShortDword"] = {REG_DWORD, {1, 2}};
  key.values[""] = {REG_SZ, {'d', 0}};
  const std::string text = platform::registry::FormatKeyFile(key);
  KeyFile back;
  ASSERT_FALSE(ParseKeyFile(text, back).has_value()) << text;
  EXPECT_EQ(back.path, key.path);
  EXPECT_EQ(back.values, key.values);
  EXPECT_NE(text.find("\"ComPort\"=dword:00000010\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Name\"=\"a\\\"\\\\b\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Multi\"=hex(7):78,00,00\r\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"d\"\r\n"), std::string::npos);
}

TEST(KeyFileTest, AcceptsWhatAPersonTypes) {
  KeyFile key;
  const char* text =
      "REGEDIT4\n\n; edited by hand\n[HKEY_LOCAL_MACHINE\\Software\\X]\n"
      "  \"ComPort\" = dword:3\n\"Blob\"=hex:01, 02,\\\n  03\n";
  ASSERT_FALSE(ParseKeyFile(text, key).has_value());
  EXPECT_EQ(key.values.at("ComPort"), (Value{REG_DWORD, {3, 0, 0, 0}}));
  EXPECT_EQ(key.values.at("Blob"), (Value{REG_BINARY, {1, 2, 3}}));
}

struct BadFileCase {
  const char* name;
  std::string text;
  int line;
  std::string message;
  friend void PrintTo(const BadFileCase& c, std::ostream* os) { *os << c.name; }
};

class BadKeyFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadKeyFileTest, SaysWhatIsWrongAndWhere) {
  KeyFile key;
  const auto error = ParseKeyFile(GetParam().text, key);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->line, GetParam().line);
  EXPECT_EQ(error->message, GetParam().message);
}

const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, BadKeyFileTest,
    ::testing::Values(
        BadFileCase{"Empty", "", 0, "empty file: no registry header"},
        BadFileCase{"Truncated", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MA", 3, "malformed key line"},
        BadFileCase{"Binary", std::string("\x7f" "ELF\0\1\2", 7), 0, "the file holds binary data, not text"},
        BadFileCase{"Huge", kHead + std::string(2 << 20, ';'), 0, "the file is too large to be a settings key"},
        BadFileCase{"NoHeader", "[HKEY_LOCAL_MACHINE\\X]\r\n", 1,
                    "not a registry file: expected \"Windows Registry Editor Version 5.00\""},
        BadFileCase{"NoKey", "Windows Registry Editor Version 5.00\r\n", 1, "no key line in the file"},
        BadFileCase{"TwoKeys", kHead + "[HKEY_LOCAL_MACHINE\\Y]\r\n", 4, "more than one key in the file"},
        BadFileCase{"BadDword", kHead + "\"A\"=dword:123456789\r\n", 4, "a dword needs 1 to 8 hex digits"},
        BadFileCase{"BadHex", kHead + "\"A\"=hex:1,2\r\n", 4, "malformed hex data"},
        BadFileCase{"OpenQuote", kHead + "\"A\"=\"text\r\n", 4, "malformed text value"},
        BadFileCase{"NoEquals", kHead + "\"A\" dword:1\r\n", 4, "missing '=' after the value name"},
        BadFileCase{"Deletion", kHead + "\"A\"=-\r\n", 4, "unknown value form"},
        BadFileCase{"DanglingContinuation", kHead + "\"A\"=hex:01,\\\r\n", 4,
                    "hex data continues past the end of the file"}),
    [](const auto& info) { return std::string(info.param.name); });

// A relative HOME or XDG_CONFIG_HOME would put the settings below whatever
// folder the program was started in: both are ignored for the account's home.
TEST(UserFolderTest, RelativeHomeAndConfigHomeAreIgnored) {
  const char* home = std::getenv("HOME");
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string savedHome = home != nullptr ? home : "", savedConfigHome = configHome != nullptr ? configHome : "";
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  setenv("HOME", "relative/home", 1);
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(platform::registry::UserFolder(), std::string(account->pw_dir) + "/.config/usb-corvane/registry");
  for (const auto& [name, saved, was] : {std::tuple{"HOME", savedHome, home}, {"XDG_CONFIG_HOME", savedConfigHome, configHome}}) {
    if (was != nullptr) setenv(name, saved.c_str(), 1);
    else unsetenv(name);
  }
}

class RegistryApiTest : public ::testing::Test {
 protected:
  LSTATUS Open(HKEY& key, const char* path = "Software\\Veltra_Software\\USB_Corvane\\") {
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr);
  }
  QTemporaryDir dir;
  const platform::ScopedServices inDir{[this](platform::Services& services) {
    services.registryMachineFolder = dir.path().toStdString() + "/m";
    services.registryUserFolder = dir.path().toStdString() + "/u";
  }};
};

TEST_F(RegistryApiTest, QueryReportsTypeAndSizeAndRefusesASmallBuffer) {
  HKEY key = nullptr;
  ASSERT_EQ(Open(key), ERROR_SUCCESS);
  const BYTE text[] = "6.00MHz";
  ASSERT_EQ(RegSetValueExA(key, "Frequency", 0, REG_SZ, text, sizeof text), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Frequency", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, sizeof text);
  BYTE small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Frequency", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof text);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryApiTest, UnsafeKeyPathsAreRefused) {
  for (const char* path : {"..\\..\\etc", "Software\\a/b", "", "\\\\"}) {
    HKEY key = nullptr;
    EXPECT_EQ(Open(key, path), ERROR_INVALID_PARAMETER) << path;
    EXPECT_EQ(key, nullptr);
  }
}

TEST_F(RegistryApiTest, ValuesLandOnlyWhenTheKeyIsClosed) {
  HKEY key = nullptr;
  ASSERT_EQ(Open(key), ERROR_SUCCESS);
  const BYTE one[4] = {1, 0, 0, 0};
  ASSERT_EQ(RegSetValueExA(key, "ComPort", 0, REG_DWORD, one, 4), ERROR_SUCCESS);
  QFile file(dir.path() + "/m/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane.reg");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_FALSE(file.readAll().contains("ComPort"));
  file.close();
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("\"ComPort\"=dword:00000001"));
}

// --- the key file on the disk

class KeyFileOnDiskTest : public RegistryApiTest {
 protected:
  QString Machine() const { return dir.path() + "/m"; }
  QString KeyFolder(const QString& base) const { return base + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software"; }
  QString KeyPath(const QString& base) const { return KeyFolder(base) + "/USB_Corvane.reg"; }
  static QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // The six values of one save, `base` to `base` + 5.
  LSTATUS Save(std::uint32_t base) {
    HKEY key = nullptr;
    if (const LSTATUS status = Open(key); status != ERROR_SUCCESS) return status;
    std::uint32_t value = base;
    for (const char* name : {"Version", "ComPort", "Xpos", "Ypos", "Frequency", "ResetDelay"}) {
      const auto dword = platform::registry::DwordValue(value++);
      RegSetValueExA(key, name, 0, REG_DWORD, dword.data.data(), 4);
    }
    return RegCloseKey(key);
  }
};

// A full disk (or quota) at every point of writing the new file.
TEST_F(KeyFileOnDiskTest, SaveOnAFullDiskLeavesTheOldFileByteForByte) {
  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  const QByteArray before = Bytes(KeyPath(Machine()));
  int trials = 0;
  for (rlim_t room = 0; room < static_cast<rlim_t>(before.size()); ++room, ++trials) {
    LSTATUS status = ERROR_SUCCESS;
    {
      testing_support::FileSizeLimit full(room);
      status = Save(200);
    }
    ASSERT_EQ(status, ERROR_CANTWRITE) << room << " bytes of room";
    ASSERT_EQ(Bytes(KeyPath(Machine())), before) << room << " bytes of room";
  }
  EXPECT_EQ(QDir(KeyFolder(Machine())).entryList(QDir::Files | QDir::Hidden),
            (QStringList{"USB_Corvane.reg", "USB_Corvane.reg.lock"}));  // no temporary file left
  RecordProperty("full_disk_trials", trials);
}

// Links another user plants in a machine-wide folder others may write are
// never followed: the settings go to the per-user copy instead.
struct PlantedLink {
  const char* name;
  mode_t folderMode;
  const char* at;  // below the machine folder
};

class PlantedLinkTest : public KeyFileOnDiskTest, public ::testing::WithParamInterface<PlantedLink> {};

TEST_P(PlantedLinkTest, IsNeverFollowed) {
  ASSERT_TRUE(QDir().mkpath(KeyFolder(Machine())));
  ASSERT_EQ(chmod(QFile::encodeName(Machine()).constData(), GetParam().folderMode), 0);
  const QString victim = dir.path() + "/victim";
  ASSERT_TRUE(QDir().mkpath(victim + "/Software/Veltra_Software"));
  {
    QFile file(victim + "/precious");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious");
  }
  const QString at = Machine() + "/" + GetParam().at;
  if (QString(GetParam().at) == "HKEY_LOCAL_MACHINE") QDir(at).removeRecursively();
  const QString target = QString(GetParam().at) == "HKEY_LOCAL_MACHINE" ? victim : victim + "/precious";
  ASSERT_TRUE(QFile::link(target, at));

  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  EXPECT_EQ(Bytes(victim + "/precious"), "precious");
  EXPECT_EQ(QDir(victim + "/Software/Veltra_Software").entryList(QDir::Files | QDir::Hidden), QStringList{});
  EXPECT_TRUE(Bytes(KeyPath(dir.path() + "/u")).contains("\"ComPort\"=dword:00000065"));
  EXPECT_TRUE(QFileInfo(at).isSymLink());  // left as it was
}

INSTANTIATE_TEST_SUITE_P(
    Places, PlantedLinkTest,
    ::testing::Values(PlantedLink{"KeyFolderInAnyonesFolder", 01777, "HKEY_LOCAL_MACHINE"},
                      PlantedLink{"KeyFolderInAGroupFolder", 02775, "HKEY_LOCAL_MACHINE"},
                      PlantedLink{"KeyFile", 01777, "HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane.reg"},
                      PlantedLink{"LockFile", 01777,
                                  "HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane.reg.lock"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyFileOnDiskTest, AnotherUsersFolderInAFolderAnyoneMayWriteIsNotTrusted) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can plant a folder of another user";
  ASSERT_TRUE(QDir().mkpath(Machine() + "/HKEY_LOCAL_MACHINE"));
  ASSERT_EQ(chmod(QFile::encodeName(Machine()).constData(), 01777), 0);
  ASSERT_EQ(chown(QFile::encodeName(Machine() + "/HKEY_LOCAL_MACHINE").constData(), 65534, 65534), 0);
  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  EXPECT_FALSE(QFile::exists(KeyPath(Machine())));
  EXPECT_TRUE(QFile::exists(KeyPath(dir.path() + "/u")));
}

TEST_F(KeyFileOnDiskTest, ValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
  HKEY key = nullptr;
  ASSERT_EQ(Open(key), ERROR_SUCCESS);
  const BYTE one[4] = {1, 0, 0, 0}, two[4] = {2, 0, 0, 0};
  ASSERT_EQ(RegSetValueExA(key, "ComPort", 0, REG_DWORD, one, 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "COMPORT", 0, REG_DWORD, two, 4), ERROR_SUCCESS);
  BYTE data[4] = {};
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "comport", nullptr, nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(data[0], 2);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  const QByteArray text = Bytes(KeyPath(Machine()));
  EXPECT_EQ(text.toLower().count("comport"), 1) << text.toStdString();
  EXPECT_TRUE(text.contains("\"ComPort\"=dword:00000002"));
}

// What another member of a shared folder made of the old file is never kept:
// the new file has the folder's own rule.
TEST_F(KeyFileOnDiskTest, ReplacedFileTakesTheFoldersModeNeverTheOldFiles) {
  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  for (const auto& [folderMode, fileMode] : {std::pair{0755u, 0644u}, std::pair{02775u, 0664u}}) {
    ASSERT_EQ(chmod(QFile::encodeName(KeyFolder(Machine())).constData(), folderMode), 0);
    ASSERT_EQ(chmod(QFile::encodeName(KeyPath(Machine())).constData(), 0666), 0);
    ASSERT_EQ(Save(200), ERROR_SUCCESS);
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(KeyPath(Machine())).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, fileMode) << std::oct << folderMode;
  }
}

// A file the reader takes (LF, short dwords) may grow past its limit when it
// is written back (CRLF, eight digits): the save is refused, the file kept.
TEST_F(KeyFileOnDiskTest, NeverWritesAFileLargerThanItReads) {
  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  std::string text = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Veltra_Software\\USB_Corvane]\n";
  for (int i = 0; text.size() < platform::registry::kMaxKeyFileSize - 32; ++i) {
    text += "\"V" + std::to_string(i) + "\"=dword:1\n";
  }
  QFile file(KeyPath(Machine()));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.c_str());
  file.close();
  EXPECT_EQ(Save(200), ERROR_CANTWRITE);
  EXPECT_EQ(Bytes(KeyPath(Machine())).toStdString(), text);
  EXPECT_NE(platform::registry::LastProblem().find("would grow beyond 1 MiB"), std::string::npos);
}

TEST_F(KeyFileOnDiskTest, TemporaryFilesOfDeadWritersAreRemovedByTheNextSave) {
  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
  const QString deadOnes = ".USB_Corvane.reg." + QString::number(dead) + ".7";
  const QString living = ".USB_Corvane.reg." + QString::number(getpid()) + ".7";  // a save under way
  for (const QString& name : {deadOnes, living}) {
    QFile litter(KeyFolder(Machine()) + "/" + name);
    ASSERT_TRUE(litter.open(QIODevice::WriteOnly));
  }
  ASSERT_EQ(Save(200), ERROR_SUCCESS);
  EXPECT_EQ(QDir(KeyFolder(Machine())).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            (QStringList{living, "USB_Corvane.reg", "USB_Corvane.reg.lock"}));
}

// Another program that keeps the key locked past the wait: the save says who
// and leaves the old file.
TEST_F(KeyFileOnDiskTest, AKeyLockedPastTheWaitNamesItsHolder) {
  ASSERT_EQ(Save(100), ERROR_SUCCESS);
  const QByteArray before = Bytes(KeyPath(Machine()));
  QProcess holder;
  holder.start("flock", {KeyPath(Machine()) + ".lock", "sh", "-c", "echo locked; exec sleep 60"});
  ASSERT_TRUE(holder.waitForReadyRead(10000)) << "flock did not start";
  {
    const platform::ScopedServices quickLock([](platform::Services& services) { services.registryLockWaitMs = 100; });
    EXPECT_EQ(Save(200), ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(platform::registry::LastProblem(), "flock (process " + std::to_string(holder.processId()) +
                                                   ") holds the settings in " + KeyPath(Machine()).toStdString());
  EXPECT_EQ(Bytes(KeyPath(Machine())), before);
  holder.kill();
  holder.waitForFinished();
}

}  // namespace
