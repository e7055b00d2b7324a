#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QThread>
#include <memory>

#include "BootstrapperRun.h"
#include "DownloadPeer.h"
#include "TestEnv.h"

namespace {

const QString kGeneral = "[GeneralOptions]\r\n";
const QString kRuntime =
    "[PREREQUISITES]\r\nApp1=Runtime\r\n[App1]\r\nSetupFile=prereq.sh\r\nSearchType=0\r\n"
    "SearchString=[SystemFolder]rt.dll\r\n";

class BootstrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BootstrapperRun::writeFile(s.work + "/package.msi", "package");
    BootstrapperRun::writeFile(s.work + "/data.cab", "cabinet");
    s.addMsiDll(3, 1, 4000, 0);
  }

  // A setup program carrying the package, its cabinet and, when not empty, `config`.
  QString setupWith(const QString& config, const QStringList& more = {}) {
    QStringList items{"--file", "1:0:package.msi=" + s.work + "/package.msi", "--file",
                      "1:1:data.cab=" + s.work + "/data.cab"};
    if (!config.isEmpty()) {
      BootstrapperRun::writeFile(s.work + "/setup.ini", config.toUtf8());
      items << "--file"
            << "0:3:setup.ini=" + s.work + "/setup.ini"
            << "--configuration";
    }
    const QString program = s.work + "/setup";
    EXPECT_TRUE(s.build(program, items + more));
    return program;
  }

  // `general` options and a missing prerequisite whose setup file records that it ran.
  QString setupWithRuntime(const QString& general) {
    const QString script = s.recordingScript("prereq.sh", "prereq");
    return setupWith(kGeneral + general + kRuntime, {"--file", "100:1:prereq.sh=" + script});
  }

  QString privateFolder() const { return s.temp + QStringLiteral("/KVTsetup-%1/").arg(::getuid()); }

  // The installer's arguments, joined by "|".
  std::string installerArguments() const {
    return s.installerArguments().split('\n', Qt::SkipEmptyParts).join('|').toStdString();
  }

  static std::string joined(const QStringList& parts) { return parts.join('|').toStdString(); }

  BootstrapperRun s;
};

}  // namespace

TEST_F(BootstrapperTest, HelpAnywhereShowsTheUsageAndEndsWithZero) {
  const QString program = setupWith({});
  for (const QStringList& args : {QStringList{"/?"}, QStringList{"/q", "PROP=/helpme"}}) {
    ASSERT_TRUE(s.run(program, args));
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_TRUE(s.standardError.contains("setup Options: Command Line:\nsetup [options]"))
        << s.standardError.toStdString();
    EXPECT_TRUE(s.installerArguments().isEmpty());
  }
}

TEST_F(BootstrapperTest, ExtractWritesEveryFileAndKeepsThem) {
  const QString program = setupWith(kGeneral + "KeepFiles=\r\n");
  const QString quoted = TestEnv::freshDir("out with blank");
  const QString plain = TestEnv::freshDir("out");
  for (const QString& folder : {quoted, plain}) {
    ASSERT_TRUE(s.run(program, {"/extract:" + folder}));
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"data.cab", "package.msi", "setup.ini"}));
  }
  EXPECT_TRUE(s.installerArguments().isEmpty());
}

TEST_F(BootstrapperTest, AnEmptyExtractFolderIsRefused) {
  const QString program = setupWith({});
  ASSERT_TRUE(s.run(program, {"/extract:", "/q"}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("Command Line:"));
}

TEST_F(BootstrapperTest, ADamagedImageFailsItsIntegrityCheck) {
  const QString program = setupWith({}, {"--md5"});
  QFile file(program);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  file.seek(file.size() / 2);
  const char byte = file.read(1)[0];
  file.seek(file.size() / 2);
  file.write(QByteArray(1, char(byte ^ 0x55)));
  file.close();
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("This archive is corrupted."));
  EXPECT_TRUE(s.installerArguments().isEmpty());
}

TEST_F(BootstrapperTest, AnIntactImagePassesItsIntegrityCheck) {
  const QString program = setupWith({}, {"--md5"});
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
}

TEST_F(BootstrapperTest, WithoutConfigurationAndInstallerTheRunFails) {
  QFile::remove(s.system + "/msi.dll");
  const QString program = setupWith({});
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("Windows Installer was not found on this machine."));
}

TEST_F(BootstrapperTest, AnInstallerTooOldIsReportedUnlessQuiet) {
  const QString program = setupWith(kGeneral + "MinWIVer=4.5\r\n");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains(
      "This package requires Windows Installer version \"4.5\". You have \"3.1.4000\".\nPlease upgrade"));
  setupWith(kGeneral + "MinWIVer=4.5\r\nOptions=q\r\n");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_FALSE(s.standardError.contains("Windows Installer"));
  EXPECT_TRUE(s.installerArguments().isEmpty());
}

TEST_F(BootstrapperTest, ThePackageGetsItsParametersAndTheSetupProperties) {
  const QString program = setupWith(kGeneral + "MainAppCmdLine=/qb TARGET=x\r\n");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_EQ(installerArguments(), joined({"/i", privateFolder() + "package.msi", "/qb", "TARGET=x",
                                          "OV_SETUPEXEPATH=" + program, "SETUPEXEDIR=" + s.work + "/"}));
  EXPECT_FALSE(QFile::exists(privateFolder() + "package.msi"));
}

TEST_F(BootstrapperTest, UserOptionsReplaceTheConfiguredParameters) {
  const QString program = setupWith(kGeneral + "MainAppCmdLine=/qb\r\n");
  ASSERT_TRUE(s.run(program, {"/qn", "NAME=a b"}));
  EXPECT_NE(installerArguments().find("|/qn|NAME=a b|OV_SETUPEXEPATH="), std::string::npos);
}

// Quotes, blanks and backslashes in what the user types reach the package as
// they were typed, one argument each.
TEST_F(BootstrapperTest, UserArgumentsReachThePackageUnchanged) {
  const QString program = setupWith(kGeneral);
  const QStringList typed{"PROP=\"a b\"", "DIR=C:\\x y\\", "/qb", "", "Q=a\\\"b", "/log:my log.txt"};
  ASSERT_TRUE(s.run(program, typed));
  EXPECT_EQ(s.installerArguments(),
            (QStringList{"/i", privateFolder() + "package.msi"} + typed +
             QStringList{"OV_SETUPEXEPATH=" + program, "SETUPEXEDIR=" + s.work + "/", ""})
                .join('\n'));
}

TEST_F(BootstrapperTest, ThePackageExitCodeIsPassedThrough) {
  s.setInstallerExitCode(3010);
  const QString program = setupWith(kGeneral);
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 3010 % 256);
}

TEST_F(BootstrapperTest, KeepFilesKeepsTheLaunchGroupOrEverythingExtracted) {
  const struct {
    QString keep;
    bool package, prerequisite;
  } cases[] = {{"minimum", true, false}, {"complete", true, true}, {"Complete", false, false}};
  for (const auto& c : cases) {
    QDir(privateFolder()).removeRecursively();
    const QString program = setupWithRuntime("Options=q\r\nKeepFiles=" + c.keep + "\r\n");
    ASSERT_TRUE(s.run(program, {}));
    EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
    EXPECT_EQ(QFile::exists(privateFolder() + "package.msi"), c.package) << c.keep.toStdString();
    EXPECT_EQ(QFile::exists(privateFolder() + "data.cab"), c.package);
    EXPECT_EQ(QFile::exists(privateFolder() + "prereq.sh"), c.prerequisite);
    EXPECT_FALSE(QFile::exists(privateFolder() + "setup.ini"));
  }
}

TEST_F(BootstrapperTest, ACancelledInstallationDeletesEveryExtractedFile) {
  s.setInstallerExitCode(1602);
  const QString program = setupWith(kGeneral + "KeepFiles=complete\r\n");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1602 % 256);
  EXPECT_FALSE(QFile::exists(privateFolder() + "package.msi"));
  EXPECT_FALSE(QDir(privateFolder()).exists());
}

TEST_F(BootstrapperTest, AMainPackageUrlGoesToTheInstallerWithoutExtraction) {
  const QString program =
      setupWith(kGeneral + "MainAppURL=http://127.0.0.1:9/package.msi\r\nMainAppCmdLine=/qb\r\n");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_EQ(installerArguments().substr(0, 39), "/i|http://127.0.0.1:9/package.msi|/qb|O");
  EXPECT_FALSE(QFile::exists(privateFolder() + "package.msi"));
}

TEST_F(BootstrapperTest, QuietPassesInstallDownloadAndSkipAsDetected) {
  const QString served = TestEnv::freshDir("served");
  const QByteArray download = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + s.records.toUtf8() + "/downloaded'\n";
  BootstrapperRun::writeFile(served + "/tool.sh", download);
  BootstrapperRun::writeFile(served + "/wrong.sh", download);
  std::unique_ptr<DownloadPeer> peer(DownloadPeer::http(served));
  const QString md5 = QCryptographicHash::hash(download, QCryptographicHash::Md5).toHex().toUpper();
  const QString script = s.recordingScript("prereq.sh", "prereq");
  const QString size = QString::number(download.size());
  const QString config =
      kGeneral + "Options=q\r\nDownloadFolder=" + s.work +
      "/dl\r\n[PREREQUISITES]\r\nApp1=Runtime\r\nApp2=Tool\r\n"
      "App3=Wrong\r\nApp4=Old\r\n"
      "[App1]\r\nSetupFile=prereq.sh\r\nCommandLine=/Q \"a "
      "b\"\r\nSearchType=0\r\nSearchString=[SystemFolder]rt.dll\r\n"
      "[App2]\r\nUrl=" +
      peer->url("http", "files/tool.sh") + "\r\nExactSize=" + size + "\r\nMD5=" + md5 +
      "\r\nFolder=tools\r\nCommandLine=/S\r\nSearchType=0\r\nSearchString=[SystemFolder]tool.dll\r\n"
      "[App3]\r\nUrl=" +
      peer->url("http", "files/wrong.sh") + "\r\nExactSize=" + size +
      "\r\nMD5=00000000000000000000000000000000\r\nSearchType=0\r\nSearchString=[SystemFolder]wrong.dll\r\n"
      "[App4]\r\nTargetOS=0\r\nSetupFile=prereq.sh\r\nSearchType=0\r\nSearchString=[SystemFolder]old.dll\r\n";
  const QString program = setupWith(config, {"--file", "100:1:prereq.sh=" + script});
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(BootstrapperRun::readFile(s.records + "/prereq"), "/Q\na b\n");
  EXPECT_TRUE(s.runValueRecorded("prereq", program));
  EXPECT_FALSE(s.runValuePresent(program));
  EXPECT_EQ(BootstrapperRun::readFile(s.records + "/downloaded"), "/S\n");
  EXPECT_TRUE(QFile::exists(s.work + "/dl/tools/tool.sh"));
  EXPECT_FALSE(QFile::exists(s.work + "/dl/wrong.sh"));
  EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
}

TEST_F(BootstrapperTest, APrerequisiteThatBringsTheInstallerIsCheckedAfterThePasses) {
  QFile::remove(s.system + "/msi.dll");
  const QString later = s.work + "/msi.dll.new";
  s.addMsiDll(4, 5, 0, 0);
  QFile::rename(s.system + "/msi.dll", later);
  BootstrapperRun::writeFile(
      s.work + "/msi.sh", QStringLiteral("#!/bin/sh\ncp '%1' '%2/msi.dll'\n").arg(later, s.system).toUtf8(),
      true);
  const QString config =
      kGeneral +
      "Options=q\r\nMinWIVer=4.5\r\n[PREREQUISITES]\r\nApp1=Installer\r\n"
      "[App1]\r\nTargetOS=1\r\nSetupFile=msi.sh\r\nSearchType=0\r\nSearchString=[SystemFolder]MSI.dll\r\n";
  const QString program = setupWith(config, {"--file", "100:1:msi.sh=" + s.work + "/msi.sh"});
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
}

TEST_F(BootstrapperTest, TheProgressDialogRunsThePassesToTheirEnd) {
  const QString program = setupWithRuntime("Options=b\r\n");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_TRUE(QFile::exists(s.records + "/prereq"));
  EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
}

TEST_F(BootstrapperTest, TheWizardRouteEndsCancelledAndRemovesTheRunValue) {
  const QString program = setupWithRuntime({});
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 255);
  EXPECT_FALSE(s.runValuePresent(program));
  EXPECT_TRUE(s.installerArguments().isEmpty());
  EXPECT_FALSE(QDir(privateFolder()).exists());
}

TEST_F(BootstrapperTest, SideFilesOnANetworkDriveRunFromATemporaryCopy) {
  const QString media = TestEnv::freshDir("media");
  BootstrapperRun::writeFile(media + "/package.msi", "package");
  const QString program = media + "/setup";
  ASSERT_TRUE(s.build(program, {"--side", "0:package.msi", "--side-files"}));
  BootstrapperRun::writeFile(s.work + "/mounts",
                             ("/dev/vda / ext4 rw 0 0\nserver:/x " + media + " nfs rw 0 0\n").toUtf8());
  s.environment.insert("KVT_MOUNT_TABLE", s.work + "/mounts");
  ASSERT_TRUE(s.run(program, {"/qn"}));
  EXPECT_EQ(s.exitCode, 0);
  ASSERT_TRUE(BootstrapperRun::waitFor(s.records + "/msiexec.args"));
  EXPECT_TRUE(BootstrapperRun::waitFor(privateFolder(), true));
  EXPECT_EQ(installerArguments(), joined({"/i", media + "/package.msi", "OV_SETUPEXEPATH=" + program,
                                          "SETUPEXEDIR=" + media + "/"}));
  EXPECT_TRUE(QFile::exists(program));
}

TEST_F(BootstrapperTest, AHandGivenOriginalPathDeletesNothing) {
  const QString program = setupWith({});
  const QString victim = s.work + "/victim";
  BootstrapperRun::writeFile(victim, "keep");
  ASSERT_TRUE(s.run(program, {"/OriginalPath:" + program}));
  EXPECT_EQ(s.exitCode, 0);
  QThread::msleep(300);
  EXPECT_TRUE(QFile::exists(program));
  EXPECT_TRUE(QFile::exists(victim));
}

TEST_F(BootstrapperTest, CompressedModeOpensThePackageFromTheBlock) {
  const QStringList items{"--file",      QStringLiteral("2:7:KVTdecompress.so=") + KVT_DECOMPRESSOR,
                          "--block",     "2:pkg\\package.dat",
                          "--member",    "package.msi=" + s.work + "/package.msi",
                          "--compressed"};
  const QString program = s.work + "/setup";
  ASSERT_TRUE(s.build(program, items));
  ASSERT_TRUE(s.run(program, {"/extractlzma"}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_TRUE(QFile::exists(privateFolder() + "pkg/package.msi"));
  ASSERT_TRUE(s.run(program, {"/deletelzma"}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_FALSE(QFile::exists(privateFolder() + "pkg"));
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(installerArguments().substr(0, 3) + installerArguments().substr(3, privateFolder().size() + 15),
            "/i|" + (privateFolder() + "pkg/package.msi").toStdString());
  EXPECT_FALSE(QFile::exists(privateFolder() + "pkg"));
}
