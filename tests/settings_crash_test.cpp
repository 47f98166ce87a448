// Saving the settings from other processes: killed in the middle, or two at
// once. The file must always read back whole, as one set of values or the other.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <grp.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "registry_file.h"

namespace {

using platform::registry::KeyFile;

class SettingsCrashTest : public ::testing::Test {
 protected:
  QString Machine() const { return dir.path() + "/m"; }
  QString User() const { return dir.path() + "/u"; }

  // Which set the file holds: 'A', 'B', or '?' when it is anything else.
  char StoredSet() const {
    QFile file(Machine() + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane.reg");
    if (!file.open(QIODevice::ReadOnly)) return '?';
    const QByteArray text = file.readAll();
    KeyFile key;
    if (platform::registry::ParseKeyFile(std::string_view(text.constData(), text.size()), key)) return '?';
    if (key.values.size() != 6) return '?';
    for (char set : {'A', 'B'}) {
      const std::int32_t base = set == 'A' ? 100 : 200;
      bool all = true;
      int i = 0;
      for (const char* name : {"Version", "ComPort", "Xpos", "Ypos", "Frequency", "ResetDelay"}) {
        const auto found = key.values.find(name);
        const auto expected = platform::registry::DwordValue(static_cast<std::uint32_t>(base + i++));
        all = all && found != key.values.end() && found->second == expected;
      }
      if (all) return set;
    }
    return '?';
  }

  QTemporaryDir dir;
};

TEST_F(SettingsCrashTest, KilledInTheMiddleOfSavingLeavesTheOldOrTheNewFile) {
  constexpr int kTrials = 200;
  std::mt19937 random(20261209);
  int survived = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    QProcess saver;
    saver.start(SETTINGS_SAVER, {Machine(), User(), "AB"});
    ASSERT_TRUE(saver.waitForStarted());
    // Let it land a varied number of saves, then kill it during the next one.
    const int landed = 1 + static_cast<int>(random() % 3);
    for (int seen = 0; seen < landed;) {
      if (!saver.canReadLine()) {
        ASSERT_TRUE(saver.waitForReadyRead(10000)) << "trial " << trial << ": saver stopped";
      }
      while (saver.canReadLine() && seen < landed) {
        saver.readLine();
        ++seen;
      }
    }
    saver.kill();
    saver.waitForFinished();
    const char set = StoredSet();
    ASSERT_TRUE(set == 'A' || set == 'B') << "trial " << trial << " left a torn file";
    ++survived;
  }
  EXPECT_EQ(survived, kTrials);
  RecordProperty("crash_trials", survived);
  // Nothing of the killed saves is left once the next one has run.
  ASSERT_EQ(QProcess::execute(SETTINGS_SAVER, {Machine(), User(), "A", "1"}), 0);
  EXPECT_EQ(QDir(Machine() + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software").entryList(QDir::Files | QDir::Hidden),
            (QStringList{"USB_Corvane.reg", "USB_Corvane.reg.lock"}));
}

TEST_F(SettingsCrashTest, TwoProgramsSavingAtOnceLeaveOneWholeFile) {
  QProcess first, second;
  first.start(SETTINGS_SAVER, {Machine(), User(), "A", "150"});
  second.start(SETTINGS_SAVER, {Machine(), User(), "B", "150"});
  ASSERT_TRUE(first.waitForFinished(30000));
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.readAllStandardOutput().count("saved"), 150);
  EXPECT_EQ(second.readAllStandardOutput().count("saved"), 150);
  const char set = StoredSet();
  EXPECT_TRUE(set == 'A' || set == 'B');
}

// A machine-wide folder an administrator shares with a group (set-group-ID,
// 2775): what one member saves, every other member can save over.
TEST_F(SettingsCrashTest, FolderSharedWithAGroupServesEveryMember) {
  const group* dialout = getgrnam("dialout");
  if (geteuid() != 0 || dialout == nullptr || access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "needs root, setpriv and the group dialout";
  }
  ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
  ASSERT_TRUE(QDir().mkpath(Machine()));
  ASSERT_EQ(chown(QFile::encodeName(Machine()).constData(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(chmod(QFile::encodeName(Machine()).constData(), 02775), 0);
  ASSERT_EQ(QProcess::execute(SETTINGS_SAVER, {Machine(), User(), "A", "1"}), 0);
  const QString key = Machine() + "/HKEY_LOCAL_MACHINE/Software/Veltra_Software/USB_Corvane.reg";
  for (const QString& path : {Machine() + "/HKEY_LOCAL_MACHINE", key, key + ".lock"}) {
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_gid, dialout->gr_gid) << path.toStdString();
    EXPECT_NE(info.st_mode & S_IWGRP, 0u) << path.toStdString();
  }

  // Another member: nobody, with dialout among its groups, from a copy of the
  // saver it may run.
  const QString saver = dir.path() + "/settings_saver";
  ASSERT_TRUE(QFile::copy(SETTINGS_SAVER, saver));
  ASSERT_EQ(chmod(QFile::encodeName(saver).constData(), 0755), 0);
  const QString nobodysCopy = dir.path() + "/nobody";
  EXPECT_EQ(QProcess::execute("/usr/bin/setpriv", {"--reuid=nobody", "--regid=nogroup",
                                                   "--groups=" + QString::number(dialout->gr_gid), saver, Machine(),
                                                   nobodysCopy, "B", "1"}),
            0);
  EXPECT_EQ(StoredSet(), 'B');
  EXPECT_FALSE(QFileInfo::exists(nobodysCopy));  // no private copy was needed
}

}  // namespace
