#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "CPayloadArchive.h"
#include "PayloadTestSupport.h"

namespace {

class PayloadArchiveTest : public PayloadTest {
 protected:
  // Main package and cabinet in the launch group, the configuration, and two prerequisites.
  QString tablePayload(const QStringList& extra = {}, const QString& stub = {}) {
    const QString out = m_work + "/setup.bin";
    const QStringList files = {
        "--file", "1:0:app.msi=" + source("app.msi", "the package"),
        "--file", "1:5:app.cab=" + source("app.cab", QByteArray(200000, 'c')),
        "--file", "0:3:setup.ini=" + source("setup.ini", "[GeneralOptions]\r\n"),
        "--file", "100:4:prereq\\vcredist.exe=" + source("vcredist.exe", "#!/bin/sh\nexit 0\n"),
        "--file", "100:4:prereq\\vcredist.dat=" + source("vcredist.dat", "data"),
        "--file", "101:4:other\\runtime.exe=" + source("runtime.exe", "runtime"),
    };
    EXPECT_TRUE(build(out, files + extra, stub));
    return out;
  }
};

TEST_F(PayloadArchiveTest, ExtractGroupTakesTheLaunchGroupOnly) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, tablePayload(), x), PayloadError::Ok);
  EXPECT_EQ(archive.names(), QStringList({"app.msi", "app.cab", "setup.ini", "prereq\\vcredist.exe",
                                          "prereq\\vcredist.dat", "other\\runtime.exe"}));
  EXPECT_EQ(archive.ExtractGroup(), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList({"app.cab", "app.msi"}));
  EXPECT_EQ(readFile(x + "app.msi"), "the package");
  EXPECT_EQ(readFile(x + "app.cab"), QByteArray(200000, 'c'));
}

TEST_F(PayloadArchiveTest, ExtractPrerequisiteGroupTakesTheGroupOfTheNamedFile) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, tablePayload(), x), PayloadError::Ok);
  EXPECT_EQ(archive.ExtractPrerequisiteGroup("prereq\\vcredist.exe"), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList({"prereq/vcredist.dat", "prereq/vcredist.exe"}));
  // A script it extracted may run, as a program on Windows would.
  EXPECT_TRUE(QFileInfo(x + "prereq/vcredist.exe").isExecutable());
  EXPECT_FALSE(QFileInfo(x + "prereq/vcredist.dat").isExecutable());
  EXPECT_EQ(archive.ExtractPrerequisiteGroup("prereq/vcredist.exe"), PayloadError::FileError);
}

TEST_F(PayloadArchiveTest, ExtractAllTakesEveryEntryIntoItsSubfolder) {
  CPayloadArchive archive;
  const QString x = folder("x") + "new/level/";
  ASSERT_EQ(openInto(archive, tablePayload(), x), PayloadError::Ok);
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList({"app.cab", "app.msi", "other/runtime.exe", "prereq/vcredist.dat",
                                  "prereq/vcredist.exe", "setup.ini"}));
  EXPECT_EQ(readFile(x + "other/runtime.exe"), "runtime");
}

TEST_F(PayloadArchiveTest, TheConfigurationFlagExtractsTheConfigurationWithTheTable) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, tablePayload({"--configuration"}), x), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList({"setup.ini"}));
  EXPECT_EQ(archive.configurationPath(), x + "setup.ini");
  EXPECT_EQ(archive.packageBaseName(), "setup");

  CPayloadArchive without;
  const QString y = folder("y");
  ASSERT_EQ(openInto(without, tablePayload(), y), PayloadError::Ok);
  EXPECT_TRUE(tree(y).isEmpty());
  EXPECT_EQ(without.configurationPath(), y + "setup.ini");
}

TEST_F(PayloadArchiveTest, SideFileModeNamesFilesBesideTheProgramAndNeverTouchesThem) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--side-files", "--side", "0:app.msi", "--side", "3:setup.ini"}));
  source("app.msi", "beside");
  source("setup.ini", "beside");
  for (int keep : {KeepState::Nothing, KeepState::LaunchGroup}) {
    CPayloadArchive archive;
    ASSERT_EQ(openInto(archive, out, folder("x")), PayloadError::Ok);
    EXPECT_EQ(archive.extractionFolder(), m_work + "/");
    EXPECT_EQ(archive.configurationPath(), m_work + "/setup.ini");
    EXPECT_EQ(archive.packageBaseName(), "app");
    EXPECT_EQ(archive.ExtractGroup(), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractPrerequisiteGroup("app.msi"), PayloadError::Ok);
    archive.setKeepState(keep);
    archive.CleanupArchive();
    EXPECT_EQ(readFile(m_work + "/app.msi"), "beside");
    EXPECT_EQ(readFile(m_work + "/setup.ini"), "beside");
  }
}

TEST_F(PayloadArchiveTest, SideFileModeWithoutRecordsTakesTheProgramsOwnName) {
  const QString out = m_work + "/KVTsetup.exe";
  ASSERT_TRUE(build(out, {"--side-files"}));
  CPayloadArchive archive;
  ASSERT_EQ(openInto(archive, out, folder("x")), PayloadError::Ok);
  EXPECT_EQ(archive.configurationPath(), m_work + "/KVTsetup.ini");
  EXPECT_EQ(archive.packageBaseName(), "KVTsetup");
}

TEST_F(PayloadArchiveTest, AFileMadeLongerInFrontReadsThroughTheDisplacement) {
  const QString out = tablePayload();
  writeFile(out, QByteArray(12345, 'p') + readFile(out));
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.displacement(), 12345);
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  EXPECT_EQ(readFile(x + "app.msi"), "the package");
  EXPECT_EQ(readFile(x + "prereq/vcredist.dat"), "data");
}

TEST_F(PayloadArchiveTest, TheMagicElsewhereInTheImageIsNeverTakenForTheTrailer) {
  // The test program carries the magic as a constant, and the last name holds it too.
  const QString image = QCoreApplication::applicationFilePath();
  const QString out =
      tablePayload({"--file", "0:4:OSTREVASFX.txt=" + source("m", "OSTREVASFX OSTREVASFX")}, image);
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.names().last(), "OSTREVASFX.txt");
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  EXPECT_EQ(readFile(x + "OSTREVASFX.txt"), "OSTREVASFX OSTREVASFX");
}

TEST_F(PayloadArchiveTest, TheTrailerIsFoundWhateverFollowsIt) {
  // Around every border of 2048-byte and 65536-byte scan windows.
  for (int tail : {0,    1,    9,    10,    11,    2026,  2036,  2037,  2038,  2039,  2048,
                   2058, 4096, 4106, 65451, 65460, 65461, 65462, 65536, 65600, 131000}) {
    SCOPED_TRACE(tail);
    const QString out = m_work + "/tail.bin";
    ASSERT_TRUE(
        build(out, {"--file", "1:0:app.msi=" + source("app.msi", "pkg"), "--tail", QString::number(tail)}));
    CPayloadArchive archive;
    ASSERT_EQ(openInto(archive, out, folder("x")), PayloadError::Ok);
    EXPECT_EQ(archive.names(), QStringList{"app.msi"});
  }
}

TEST_F(PayloadArchiveTest, ExtractingAnEntryTwiceCopiesItOnce) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, tablePayload(), x), PayloadError::Ok);
  ASSERT_EQ(archive.ExtractEntry(0, x), PayloadError::Ok);
  writeFile(x + "app.msi", "changed since");
  EXPECT_EQ(archive.ExtractEntry(0, x), PayloadError::Ok);
  EXPECT_EQ(readFile(x + "app.msi"), "changed since");
  EXPECT_TRUE(archive.isExtracted(0));
}

TEST_F(PayloadArchiveTest, ANewExtractionFolderQueuesWhatTheOldOneGot) {
  CPayloadArchive archive;
  const QString x = folder("x"), y = folder("y");
  ASSERT_EQ(openInto(archive, tablePayload({"--configuration"}), x), PayloadError::Ok);
  archive.SetExtractionFolder(y);
  EXPECT_FALSE(archive.isExtracted(2));
  ASSERT_EQ(archive.ExtractGroup(), PayloadError::Ok);
  archive.setKeepState(KeepState::LaunchGroup);
  archive.CleanupArchive();
  EXPECT_TRUE(tree(x).isEmpty());
  EXPECT_TRUE(QFileInfo(x).isDir());
  EXPECT_EQ(tree(y), QStringList({"app.cab", "app.msi"}));
}

TEST_F(PayloadArchiveTest, EveryKeepStateKeepsItsGroups) {
  const QStringList extra = {"--file", "100:7:prereq\\KVTdecompress.so=" + source("lib", "library")};
  const QStringList all = {"app.cab",
                           "app.msi",
                           "other/runtime.exe",
                           "prereq/KVTdecompress.so",
                           "prereq/vcredist.dat",
                           "prereq/vcredist.exe",
                           "setup.ini"};
  const struct {
    int keep;
    QStringList left;
  } cases[] = {
      {KeepState::Nothing, {}},
      {KeepState::LaunchGroup, {"app.cab", "app.msi"}},
      {KeepState::LaunchAndPrerequisites,
       {"app.cab", "app.msi", "other/runtime.exe", "prereq/vcredist.dat", "prereq/vcredist.exe"}},
      {KeepState::Everything,
       {"app.cab", "app.msi", "other/runtime.exe", "prereq/vcredist.dat", "prereq/vcredist.exe",
        "setup.ini"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keep);
    CPayloadArchive archive;
    const QString x = folder("keep" + QString::number(c.keep));
    ASSERT_EQ(openInto(archive, tablePayload(extra), x), PayloadError::Ok);
    ASSERT_EQ(archive.ExtractAll(), PayloadError::Ok);
    ASSERT_EQ(tree(x), all);
    archive.setKeepState(c.keep);
    archive.CleanupArchive();
    EXPECT_EQ(tree(x), c.left);
    EXPECT_TRUE(QFileInfo(x).isDir());
  }
}

TEST_F(PayloadArchiveTest, TheTemporaryFolderIsTheUsersPrivateFolder) {
  CPayloadArchive archive;
  ASSERT_EQ(archive.UseTempFolder(), PayloadError::Ok);
  const QString own = qEnvironmentVariable("TMPDIR") + QStringLiteral("/KVTsetup-%1/").arg(::getuid());
  EXPECT_EQ(archive.extractionFolder(), own);
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(archive.archivePath(), QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

  // The configured folder in the temporary folder lands inside the private one.
  EXPECT_EQ(archive.UseConfiguredExtractionFolder(qEnvironmentVariable("TMPDIR") + "/MyApp"),
            PayloadError::Ok);
  EXPECT_EQ(archive.extractionFolder(), own + "MyApp/");
  archive.CleanupArchive();
  EXPECT_FALSE(QFileInfo::exists(own));
}

TEST_F(PayloadArchiveTest, APlantedLinkInPlaceOfThePrivateFolderStopsTheRun) {
  const QString own = qEnvironmentVariable("TMPDIR") + QStringLiteral("/KVTsetup-%1").arg(::getuid());
  ASSERT_EQ(::symlink(QFile::encodeName(folder("elsewhere")).constData(), QFile::encodeName(own).constData()),
            0);
  CPayloadArchive archive;
  EXPECT_EQ(archive.UseTempFolder(), PayloadError::NoPath);
}

}  // namespace
