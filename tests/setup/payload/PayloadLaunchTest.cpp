#include <QFile>
#include <QFileInfo>
#include <cstdlib>

#include "CPayloadArchive.h"
#include "PayloadTestSupport.h"

namespace {

// Windows Installer stands in as a script in the system folder that records its
// arguments (and whether the package it was given exists) and exits with a chosen code.
class PayloadLaunchTest : public PayloadTest {
 protected:
  void SetUp() override {
    PayloadTest::SetUp();
    m_system = folder("system");
    m_record = m_work + "/record.txt";
    ::setenv("KVT_SYSTEM_FOLDER", QFile::encodeName(m_system).constData(), 1);
    ::setenv("KVT_TEST_RECORD", QFile::encodeName(m_record).constData(), 1);
    installer("msiexec.exe");
  }

  void installer(const QString& name) {
    writeFile(m_system + name,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$KVT_TEST_RECORD\"\n"
              "[ -f \"$2\" ] && echo present >> \"$KVT_TEST_RECORD\"\nexit ${KVT_TEST_EXIT:-0}\n");
    QFile::setPermissions(m_system + name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  QStringList recorded() const {
    return QString::fromUtf8(readFile(m_record)).split('\n', Qt::SkipEmptyParts);
  }

  QString m_system;
  QString m_record;
};

TEST_F(PayloadLaunchTest, TheMainPackageGoesToTheInstallerWithItsParameters) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--file", "1:0:app.msi=" + source("app.msi", "pkg")}));
  const struct {
    const char* exit;
    int code;
  } cases[] = {{"0", 0}, {"3", 3}, {"1602", 66}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exit);
    ::setenv("KVT_TEST_EXIT", c.exit, 1);
    CPayloadArchive archive;
    const QString x = folder("x");
    ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.LaunchMainPackage("/qn PROP=\"a b\"  OV_SETUPEXEPATH=\"C:\\x\\\"", "Setup", false),
              PayloadError::Ok);
    EXPECT_EQ(archive.exitCode(), c.code);
    EXPECT_EQ(recorded(),
              QStringList({"/i", x + "app.msi", "/qn", "PROP=a b", "OV_SETUPEXEPATH=C:\\x\"", "present"}));
  }
}

TEST_F(PayloadLaunchTest, AProgramPackageRunsDirectly) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(
      out,
      {"--file", "1:0:sub\\setup.exe=" +
                     source("setup.exe", "#!/bin/sh\necho \"$1|$2\" > \"$KVT_TEST_RECORD\"\nexit 9\n")}));
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.LaunchMainPackage("\"one two\" three", "Setup", false), PayloadError::Ok);
  EXPECT_EQ(archive.exitCode(), 9);
  EXPECT_EQ(recorded(), QStringList{"one two|three"});
}

TEST_F(PayloadLaunchTest, NothingToStartIsAFileError) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--file", "1:4:readme.txt=" + source("readme", "r")}));
  CPayloadArchive archive;
  ASSERT_EQ(prepare(archive, out, folder("x")), PayloadError::Ok);
  EXPECT_EQ(archive.LaunchMainPackage({}, "Setup", false), PayloadError::FileError);

  ASSERT_TRUE(build(out, {"--file", "1:0:app.msi=" + source("app.msi", "pkg")}));
  QFile::remove(m_system + "msiexec.exe");
  CPayloadArchive missing;
  ASSERT_EQ(prepare(missing, out, folder("y")), PayloadError::Ok);
  EXPECT_EQ(missing.LaunchMainPackage({}, "Setup", false), PayloadError::FileError);
}

TEST_F(PayloadLaunchTest, ACompressedPackageComesOutOfTheBlockAndItsFolderGoesAfterwards) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block",
                          "2:pkg\\app.lzma", "--member", "app.msi=" + source("app.msi", "pkg")}));
  ::setenv("KVT_TEST_EXIT", "5", 1);
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.LaunchMainPackage("/qb", "Setup", true), PayloadError::Ok);
  EXPECT_EQ(archive.exitCode(), 5);
  EXPECT_EQ(recorded(), QStringList({"/i", x + "pkg/app.msi", "/qb", "present"}));
  EXPECT_EQ(tree(x), QStringList{"KVTdecompress.so"});
  archive.CleanupArchive();
  EXPECT_TRUE(tree(x).isEmpty());
}

TEST_F(PayloadLaunchTest, AFailedBlockStartsNothingAndLeavesNoFolder) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--file",
                          "2:6:pkg\\app.lzma=" + source("garbage", "not an archive")}));
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.LaunchMainPackage({}, "Setup", true), PayloadError::DecompressorFailed);
  EXPECT_FALSE(QFileInfo::exists(m_record));
  EXPECT_EQ(tree(x), QStringList{"KVTdecompress.so"});
}

}  // namespace
