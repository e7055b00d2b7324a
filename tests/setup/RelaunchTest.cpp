#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "BootstrapperRun.h"
#include "Relaunch.h"
#include "SetupPaths.h"
#include "TestEnv.h"

namespace {

class RelaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TMPDIR", QFile::encodeName(TestEnv::freshDir("tmp")).constData(), 1);
    privateFolder_ = SetupPaths::privateTempFolder();
    ASSERT_FALSE(privateFolder_.isEmpty());
  }

  static void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  QString privateFolder_;
};

}  // namespace

TEST_F(RelaunchTest, OnlyACopyInThePrivateFolderRemovesItself) {
  const QString copy = privateFolder_ + "setup";
  const QString outside = TestEnv::freshDir("media") + "/setup";
  writeFile(copy, "x");
  writeFile(outside, "x");
  EXPECT_EQ(relaunchPathFor(copy, outside), copy);
  EXPECT_EQ(relaunchPathFor(copy, ""), "");
  EXPECT_EQ(relaunchPathFor(outside, copy), "");
  EXPECT_EQ(relaunchPathFor(privateFolder_ + "missing", outside), "");
}

TEST_F(RelaunchTest, SelfDeleteScriptRemovesTheCopyItselfAndTheEmptiedFolder) {
  const QString copy = privateFolder_ + "setup copy's";
  writeFile(copy, "x");
  WriteSelfDeleteBatch(copy);
  EXPECT_TRUE(BootstrapperRun::eventually([&] { return !QDir(privateFolder_).exists(); }));
}

TEST_F(RelaunchTest, SelfDeleteScriptNeverTouchesAFileOutsideThePrivateFolder) {
  const QString outside = TestEnv::freshDir("media") + "/setup";
  writeFile(outside, "x");
  WriteSelfDeleteBatch(outside);
  QThread::msleep(300);
  EXPECT_TRUE(QFile::exists(outside));
  EXPECT_TRUE(QDir(privateFolder_).entryList(QDir::Files).isEmpty());
}

TEST_F(RelaunchTest, RelaunchStartsACopyNamingTheOriginal) {
  const QString media = TestEnv::freshDir("my media");
  const QString record = media + "/args";
  // The copy runs detached: it records whole, or the test could read it half written.
  writeFile(media + "/setup", "#!/bin/sh\n" + TestEnv::recordWhole("printf '%s\\n' \"$0\" \"$@\"", record));
  EXPECT_EQ(RelaunchFromTemp(media + "/setup"), 0);
  ASSERT_TRUE(BootstrapperRun::waitFor(record));
  QFile file(record);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(file.readAll()), privateFolder_ + "setup\n/OriginalPath:" + media + "/setup\n");
}

TEST_F(RelaunchTest, RelaunchOfAMissingProgramFails) {
  EXPECT_EQ(RelaunchFromTemp(TestEnv::sandbox() + "/nothing"), 1);
}
