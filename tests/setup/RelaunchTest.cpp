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

// No copy is left that could not run: none is made for a folder that runs no
// programs, and one that does not start is removed.
TEST_F(RelaunchTest, ARelaunchThatFailsLeavesNoCopy) {
  const QString media = TestEnv::freshDir("media");
  writeFile(media + "/setup", "#!/bin/sh\nexit 0\n");
  writeFile(media + "/text", "no program");
  const struct {
    const char* what;
    QString program;
    bool noExec;
  } cases[] = {
      {"a missing program", TestEnv::sandbox() + "/nothing", false},
      {"a folder that runs no programs", media + "/setup", true},
      {"a copy that does not start", media + "/text", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.noExec) ::setenv("KVT_NOEXEC_FOLDER", qgetenv("TMPDIR").constData(), 1);
    EXPECT_EQ(RelaunchFromTemp(c.program), 1);
    ::unsetenv("KVT_NOEXEC_FOLDER");
    EXPECT_TRUE(QDir(privateFolder_).isEmpty());
  }
}
