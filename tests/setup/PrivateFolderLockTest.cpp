#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CPayloadArchive.h"
#include "ContainedPath.h"
#include "PrivateFolderLock.h"
#include "SetupPaths.h"
#include "TestEnv.h"

namespace {

using PrivateFolderLock::Result;

class PrivateFolderLockTest : public ::testing::Test {
 protected:
  void SetUp() override { QDir(own()).removeRecursively(); }
  void TearDown() override {
    PrivateFolderLock::release();
    other_.reset();
    QDir(own()).removeRecursively();
  }

  static QString own() { return SetupPaths::privateFolderPath(); }
  static QByteArray native() { return QFile::encodeName(own().chopped(1)); }
  static unsigned mode() {
    struct stat st {};
    return ::lstat(native().constData(), &st) == 0 ? st.st_mode & 0777 : 0;
  }

  // Another run holding the folder: a lock of its own on the folder.
  void otherRunTakesTheFolder() {
    ::mkdir(native().constData(), 0700);
    other_ = UniqueFd(::open(native().constData(), O_RDONLY | O_DIRECTORY));
    ASSERT_EQ(::flock(other_.get(), LOCK_EX | LOCK_NB), 0);
  }

  UniqueFd other_;
};

TEST_F(PrivateFolderLockTest, TheFirstRunTakesTheFolderAndMakesItClosed) {
  EXPECT_EQ(PrivateFolderLock::tryLock(), Result::Held);
  EXPECT_TRUE(PrivateFolderLock::held());
  EXPECT_EQ(mode(), 0700u);
  PrivateFolderLock::release();
  EXPECT_FALSE(PrivateFolderLock::held());
  EXPECT_FALSE(QFileInfo::exists(own()));
}

TEST_F(PrivateFolderLockTest, ASecondRunIsBusyUntilTheFirstLetsGo) {
  otherRunTakesTheFolder();
  EXPECT_EQ(PrivateFolderLock::tryLock(), Result::Busy);
  std::atomic<bool> stop{false};
  EXPECT_EQ(PrivateFolderLock::lockWithin(QDeadlineTimer(300), stop), Result::Busy);
  stop = true;
  EXPECT_EQ(PrivateFolderLock::lockWithin(QDeadlineTimer::Forever, stop), Result::Stopped);
  other_.reset();
  EXPECT_EQ(PrivateFolderLock::tryLock(), Result::Held);
}

// The run before us removed the emptied folder as it left: the one we locked is gone.
TEST_F(PrivateFolderLockTest, AFolderRemovedByTheRunBeforeIsMadeAgainClosed) {
  otherRunTakesTheFolder();
  EXPECT_EQ(PrivateFolderLock::tryLock(), Result::Busy);
  ASSERT_EQ(::rmdir(native().constData()), 0);
  other_.reset();
  ::umask(022);
  EXPECT_EQ(PrivateFolderLock::tryLock(), Result::Held);
  EXPECT_EQ(mode(), 0700u);
}

TEST_F(PrivateFolderLockTest, OnlyTheHolderRemovesTheEmptiedFolder) {
  otherRunTakesTheFolder();
  PrivateFolderLock::removeIfEmpty();
  EXPECT_TRUE(QFileInfo(own()).isDir());
  other_.reset();
  ASSERT_EQ(PrivateFolderLock::tryLock(), Result::Held);
  PrivateFolderLock::removeIfEmpty();
  EXPECT_TRUE(QFileInfo(own()).isDir());
  PrivateFolderLock::release();
  EXPECT_FALSE(QFileInfo::exists(own()));
}

TEST_F(PrivateFolderLockTest, AFolderOpenToOthersOrALinkIsUnsafe) {
  for (const bool link : {false, true}) {
    QDir(own()).removeRecursively();
    QFile::remove(own().chopped(1));
    if (link) {
      ASSERT_EQ(
          ::symlink(QFile::encodeName(TestEnv::freshDir("elsewhere")).constData(), native().constData()), 0);
    } else {
      ASSERT_EQ(::mkdir(native().constData(), 0700), 0);
      ASSERT_EQ(::chmod(native().constData(), 0755), 0);
    }
    EXPECT_EQ(PrivateFolderLock::tryLock(), Result::Unsafe) << link;
    CPayloadArchive archive;
    EXPECT_EQ(archive.UseTempFolder(), PayloadError::NoPath) << link;
    QFile::remove(own().chopped(1));
  }
}

// Extraction into the private folder never makes it with the umask's default mode.
TEST_F(PrivateFolderLockTest, ExtractionMakesAMissingPrivateFolderClosed) {
  ::umask(022);
  const UniqueFd file = ContainedPath::createFile(own() + "sub/", "app.msi");
  EXPECT_TRUE(file.valid());
  EXPECT_EQ(mode(), 0700u);
  EXPECT_TRUE(QFileInfo::exists(own() + "sub/app.msi"));
}

}  // namespace
