#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "ReplaceFile.h"
#include "TestEnv.h"

namespace {

const char* const kHangingSaveVariable = "KVT_TEST_HANGING_SAVE";

using TestEnv::readFile;
using TestEnv::writeFile;

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList temporaryFilesIn(const QString& folder) {
  return QDir(folder).entryList({"*.saving-*"}, QDir::Files | QDir::Hidden);
}

}  // namespace

TEST(ReplaceFile, WritesTheFileAndLeavesNothingElse) {
  const QString folder = TestEnv::freshDir("plain");
  const QString path = folder + "/job.kvt";
  ASSERT_TRUE(replaceFile(path, "first"));
  ASSERT_TRUE(replaceFile(path, "second"));
  EXPECT_EQ(readFile(path), "second");
  EXPECT_EQ(filesIn(folder), QStringList{"job.kvt"});
}

// Leftovers are known by their exact name: the file's name, ".saving-" and 16 hex digits.
TEST(ReplaceFile, OnlyAbandonedTemporaryFilesOfTheSameFileAreRemoved) {
  const QString folder = TestEnv::freshDir("leftovers");
  const struct {
    const char* name;
    bool removed;
  } cases[] = {
      {"job.kvt.saving-0123456789abcdef", true},    // 16 digits
      {"job.kvt.saving-0123456789abcde", false},    // 15
      {"job.kvt.saving-0123456789abcdef0", false},  // 17
      {"job.kvt.saving-0123456789abcdeg", false},   // not hex
      {"other.kvt.saving-0123456789abcdef", false}, {"job.kvt.bak", false},
  };
  for (const auto& c : cases) writeFile(folder + "/" + c.name, QByteArray(1024, 'x'));
  ASSERT_TRUE(replaceFile(folder + "/job.kvt", "ticket"));
  for (const auto& c : cases) EXPECT_EQ(QFileInfo::exists(folder + "/" + c.name), !c.removed) << c.name;
}

TEST(ReplaceFile, AnExistingFileKeepsItsPermissions) {
  const QString path = TestEnv::freshDir("modes") + "/job.kvt";
  writeFile(path, "old");
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
  ASSERT_TRUE(replaceFile(path, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ReplaceFile, ASaveThroughALinkReplacesTheFileItPointsTo) {
  const QString folder = TestEnv::freshDir("links");
  writeFile(folder + "/real.kvt", "old");
  ASSERT_TRUE(QFile::link(folder + "/real.kvt", folder + "/link.kvt"));
  ASSERT_TRUE(replaceFile(folder + "/link.kvt", "new"));
  EXPECT_TRUE(QFileInfo(folder + "/link.kvt").isSymLink());
  EXPECT_EQ(readFile(folder + "/real.kvt"), "new");
}

TEST(ReplaceFile, AFileThatMayNotBeWrittenIsLeftAlone) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const QString path = TestEnv::freshDir("readonly") + "/job.kvt";
  writeFile(path, "old");
  QFile::setPermissions(path, QFile::ReadOwner);
  EXPECT_FALSE(replaceFile(path, "new"));
  EXPECT_EQ(readFile(path), "old");
}

// The second process of the killed-save case: a save that stops before its sync.
TEST(ReplaceFileProcess, HangingSaveHelper) {
  const QString path = qEnvironmentVariable(kHangingSaveVariable);
  if (path.isEmpty()) GTEST_SKIP() << "only run as the saving process";
  setSyncCall([](int) {
    for (;;) ::pause();
    return 0;
  });
  replaceFile(path, QByteArray(4 * 1024 * 1024, 'k'));
}

TEST(ReplaceFileProcess, TheLeftoverOfAKilledSaveGoesWithTheNextSaveAndNotBefore) {
  const QString folder = TestEnv::freshDir("killed");
  const QString path = folder + "/job.kvt";
  writeFile(path, "old");
  QProcess saver;
  TestEnv::startSelf(saver, "ReplaceFileProcess.HangingSaveHelper", {{kHangingSaveVariable, path}});
  ASSERT_TRUE(saver.waitForStarted());
  // The saver has written its temporary file once it is as large as the data.
  const QDeadlineTimer deadline(30000);
  while (!deadline.hasExpired() &&
         (temporaryFilesIn(folder).size() != 1 ||
          QFileInfo(folder + "/" + temporaryFilesIn(folder).value(0)).size() < 4 * 1024 * 1024))
    QThread::msleep(10);
  const QStringList theirs = temporaryFilesIn(folder);
  ASSERT_EQ(theirs.size(), 1);

  // A save while the other is still at work leaves its file alone.
  ASSERT_TRUE(replaceFile(path, "mine"));
  EXPECT_EQ(temporaryFilesIn(folder), theirs);

  saver.kill();
  ASSERT_TRUE(saver.waitForFinished(30000));
  EXPECT_EQ(readFile(path), "mine");
  ASSERT_TRUE(replaceFile(path, "again"));
  EXPECT_EQ(filesIn(folder), QStringList{"job.kvt"});
  EXPECT_EQ(readFile(path), "again");
}
