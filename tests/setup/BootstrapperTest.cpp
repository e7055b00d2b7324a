#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <functional>
#include <memory>

#include "BootstrapperRun.h"
#include "CPayloadArchive.h"
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
  QString setupWith(const QString& config, const QStringList& more = {}, const QString& name = "setup") {
    QStringList items{"--file", "1:0:package.msi=" + s.work + "/package.msi", "--file",
                      "1:1:data.cab=" + s.work + "/data.cab"};
    if (!config.isEmpty()) {
      BootstrapperRun::writeFile(s.work + "/setup.ini", config.toUtf8());
      items << "--file"
            << "0:3:setup.ini=" + s.work + "/setup.ini"
            << "--configuration";
    }
    const QString program = s.work + "/" + name;
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

  // Runs `setup`, which fails with 1 and tells `expected` on standard error.
  void expectFailureSaying(const QString& setup, const QString& expected) {
    SCOPED_TRACE(setup.toStdString());
    ASSERT_TRUE(s.run(setup, {}));
    EXPECT_EQ(s.exitCode, 1);
    EXPECT_TRUE(s.standardError.contains(expected)) << s.standardError.toStdString();
  }

  static QString md5(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
  }

  // True once the program catches the stop signals, so that one sent now is its to handle.
  static bool catchesStopSignals(const QProcess& program) {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
      const QString status =
          BootstrapperRun::readFile(QStringLiteral("/proc/%1/status").arg(program.processId()));
      const qsizetype at = status.indexOf("SigCgt:");
      const quint64 caught =
          status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().toULongLong(nullptr, 16);
      const quint64 wanted = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1)) | (1ull << (SIGHUP - 1));
      if (at >= 0 && (caught & wanted) == wanted) return true;
      QThread::msleep(20);
    }
    return false;
  }

  // A setup carrying `package` as the package of a compressed block, and the decompressor.
  QString compressedSetupOf(const QString& package) {
    const QString program = s.work + "/setup";
    EXPECT_TRUE(
        s.build(program, {"--file", QStringLiteral("2:7:KVTdecompress.so=") + KVT_DECOMPRESSOR, "--block",
                          "2:pkg\\package.dat", "--member", "package.msi=" + package, "--compressed"}));
    return program;
  }

  // A setup whose package lies beside it on a network drive, where it runs from a temporary copy.
  QString sideFilesOnANetworkDrive() {
    const QString media = TestEnv::freshDir("media");
    BootstrapperRun::writeFile(media + "/package.msi", "package");
    const QString program = media + "/setup";
    EXPECT_TRUE(s.build(program, {"--side", "0:package.msi", "--side-files"}));
    BootstrapperRun::writeFile(s.work + "/mounts",
                               ("/dev/vda / ext4 rw 0 0\nserver:/x " + media + " nfs rw 0 0\n").toUtf8());
    s.environment.insert("KVT_MOUNT_TABLE", s.work + "/mounts");
    return program;
  }

  // A compressed setup whose block breaks halfway through its second member: the
  // package, its first, comes out whole before the damage.
  QString damagedCompressedSetup() {
    QByteArray rest(1024 * 1024, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (char& byte : rest) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      byte = char(state);
    }
    BootstrapperRun::writeFile(s.work + "/rest.bin", rest);
    const QString program = s.work + "/damaged";
    EXPECT_TRUE(
        s.build(program, {"--file", QStringLiteral("2:7:KVTdecompress.so=") + KVT_DECOMPRESSOR, "--block",
                          "2:pkg\\package.dat", "--member", "package.msi=" + s.work + "/package.msi",
                          "--member", "rest.bin=" + s.work + "/rest.bin", "--compressed"}));
    CPayloadArchive archive;
    archive.SetArchivePath(program);
    EXPECT_EQ(archive.OpenArchive(), PayloadError::Ok);
    EXPECT_EQ(archive.ReadTableOnly(), PayloadError::Ok);
    const PayloadEntry& block = archive.entries().at(1);
    QFile file(program);
    EXPECT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(qint64(block.offset) + archive.displacement() + block.size / 2);
    file.write(QByteArray(16, '\x55'));
    return program;
  }

  // A compressed setup whose decompressor is a text file.
  QString compressedSetupWithoutLibrary() {
    BootstrapperRun::writeFile(s.work + "/text.so", "no library");
    const QString program = s.work + "/nolibrary";
    EXPECT_TRUE(s.build(
        program, {"--file", "2:7:KVTdecompress.so=" + s.work + "/text.so", "--block", "2:pkg\\package.dat",
                  "--member", "package.msi=" + s.work + "/package.msi", "--compressed"}));
    return program;
  }

  // Everything in the temporary folder, for a message.
  std::string temporaryFolderHolds() const {
    return QDir(s.temp)
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        .join(' ')
        .toStdString();
  }

  // `bytes` served as `name` by an HTTP peer on loopback.
  void serve(const QString& name, const QByteArray& bytes) {
    if (!peer) {
      served = TestEnv::freshDir("served");
      peer.reset(DownloadPeer::http(served));
    }
    BootstrapperRun::writeFile(served + "/" + name, bytes);
  }

  // A download that records its arguments into "downloaded" when it runs.
  QByteArray recordingDownload() const {
    return "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + s.records.toUtf8() + "/downloaded'\n";
  }

  // The section of prerequisite `n`: missing, and downloaded from `path` on the peer.
  QString downloadSection(int n, const QString& path, qint64 size, const QString& more = {}) const {
    return QStringLiteral(
               "[App%1]\r\nUrl=%2\r\nExactSize=%3\r\n%4SearchType=0\r\n"
               "SearchString=[SystemFolder]app%1.dll\r\n")
        .arg(n)
        .arg(peer->url("http", path))
        .arg(size)
        .arg(more);
  }

  // What a waiting installer or prerequisite waits for.
  QString release() const { return s.work + "/release"; }

  // The first setup, started, waits in its installer until release() exists.
  std::unique_ptr<QProcess> firstRunInstalling() {
    s.setInstallerWaitingFor(release());
    auto first = s.start(setupWith({}), {});
    EXPECT_TRUE(BootstrapperRun::waitFor(s.records + "/installing"));
    return first;
  }

  // A stop asked for while the package or a prerequisite runs: the setup waits
  // for it, and ends once it has ended.
  void stopWhileBusy(QProcess& setup) {
    ::kill(pid_t(setup.processId()), SIGTERM);
    QThread::msleep(500);
    EXPECT_EQ(setup.state(), QProcess::Running);
    BootstrapperRun::writeFile(release(), "");
    ASSERT_TRUE(s.finish(setup));
  }

  BootstrapperRun s;
  QString served;
  std::unique_ptr<DownloadPeer> peer;
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

// A server reached over SSH, a container, a cron job: no display is named and
// no platform chosen, and every route still runs to its end headless.
TEST_F(BootstrapperTest, WithoutADisplayEveryRouteRunsHeadless) {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    s.environment.remove(variable);
  ASSERT_TRUE(s.run(KVT_SETUP, {"/?"}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_TRUE(s.standardError.contains("KVTsetup Options: Command Line:\nKVTsetup [options]"))
      << s.standardError.toStdString();

  const QString program = setupWith(kGeneral + "MainAppCmdLine=/qb\r\n");
  const QString out = TestEnv::freshDir("out");
  ASSERT_TRUE(s.run(program, {"/extract:" + out}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList({"data.cab", "package.msi", "setup.ini"}));

  s.setInstallerExitCode(7);
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 7) << s.standardError.toStdString();
  EXPECT_EQ(installerArguments(), joined({"/i", privateFolder() + "package.msi", "/qb",
                                          "OV_SETUPEXEPATH=" + program, "SETUPEXEDIR=" + s.work + "/"}));
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
  const QByteArray download = recordingDownload();
  serve("tool.sh", download);
  serve("wrong.sh", download);
  const QString script = s.recordingScript("prereq.sh", "prereq");
  const QString config =
      kGeneral + "Options=q\r\nDownloadFolder=" + s.work +
      "/dl\r\n[PREREQUISITES]\r\nApp1=Runtime\r\nApp2=Tool\r\nApp3=Wrong\r\nApp4=Old\r\n"
      "[App1]\r\nSetupFile=prereq.sh\r\nCommandLine=/Q \"a b\"\r\nSearchType=0\r\n"
      "SearchString=[SystemFolder]rt.dll\r\n" +
      downloadSection(2, "files/tool.sh", download.size(),
                      "MD5=" + md5(download).toUpper() + "\r\nFolder=tools\r\nCommandLine=/S\r\n") +
      downloadSection(3, "files/wrong.sh", download.size(), "MD5=00000000000000000000000000000000\r\n") +
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
  EXPECT_TRUE(s.standardError.contains(
      "Downloading Wrong: Error: Corrupt file (wrong MD5 signature). File removed.\n"));
  EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
}

// Without a window, a ".part" file as large as the file but wrong is fetched
// again, and a download that fails is told on standard error.
TEST_F(BootstrapperTest, QuietDownloadsFetchAWrongPartFileAgainAndTellAFailure) {
  const QByteArray download = recordingDownload();
  serve("tool.sh", download);
  serve("endless.sh", download);
  BootstrapperRun::writeFile(s.work + "/dl/tool.sh.part", QByteArray(download.size(), '#'));
  const QString config = kGeneral + "Options=q\r\nDownloadFolder=" + s.work +
                         "/dl\r\n[PREREQUISITES]\r\nApp1=Tool\r\nApp2=Endless\r\n" +
                         downloadSection(1, "files/tool.sh", download.size(),
                                         "MD5=" + md5(download) + "\r\nCommandLine=/S\r\n") +
                         downloadSection(2, "endless/endless.sh", download.size());
  ASSERT_TRUE(s.run(setupWith(config), {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(BootstrapperRun::readFile(s.records + "/downloaded"), "/S\n");
  EXPECT_TRUE(s.standardError.contains("Downloading Endless: Error: Wrong size\n"))
      << s.standardError.toStdString();
  EXPECT_FALSE(QFile::exists(s.work + "/dl/tool.sh.part"));
  EXPECT_TRUE(QFile::exists(s.work + "/dl/endless.sh.part"));
  EXPECT_EQ(QFileInfo(s.work + "/dl/endless.sh.part").size(), 0);
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
  const QString program = sideFilesOnANetworkDrive();
  const QString media = QFileInfo(program).path();
  ASSERT_TRUE(s.run(program, {"/qn"}));
  EXPECT_EQ(s.exitCode, 0);
  ASSERT_TRUE(BootstrapperRun::waitFor(s.records + "/msiexec.args"));
  EXPECT_TRUE(BootstrapperRun::waitFor(privateFolder(), true));
  EXPECT_EQ(installerArguments(), joined({"/i", media + "/package.msi", "OV_SETUPEXEPATH=" + program,
                                          "SETUPEXEDIR=" + media + "/"}));
  EXPECT_TRUE(QFile::exists(program));
}

TEST_F(BootstrapperTest, ACopyForTheRelaunchThatCannotBeWrittenIsTold) {
  const QString program = sideFilesOnANetworkDrive();
  s.fileSizeLimit = 64 * 1024;
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("An error occurred while reading the file."))
      << s.standardError.toStdString();
  EXPECT_TRUE(s.installerArguments().isEmpty());
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
  const QString program = compressedSetupOf(s.work + "/package.msi");
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

TEST_F(BootstrapperTest, TwoRunsTakeTurnsAndEachInstallsItsOwnWholePackage) {
  auto first = firstRunInstalling();
  BootstrapperRun::writeFile(s.work + "/package.msi", "another package");
  auto second = s.start(setupWith({}, {}, "setup2"), {});
  QThread::msleep(1500);
  EXPECT_EQ(second->state(), QProcess::Running);
  EXPECT_EQ(BootstrapperRun::readFile(privateFolder() + "package.msi"), "package");
  BootstrapperRun::writeFile(release(), "");
  ASSERT_TRUE(s.finish(*first));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  ASSERT_TRUE(s.finish(*second));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  // The first run removed the emptied folder as it left; the second made it again, closed.
  EXPECT_EQ(BootstrapperRun::readFile(s.records + "/installs"),
            md5("package") + " 700\n" + md5("another package") + " 700\n");
  EXPECT_FALSE(QDir(privateFolder()).exists());
}

TEST_F(BootstrapperTest, AnUnattendedRunGivesUpWaitingWithAMessage) {
  auto first = firstRunInstalling();
  const QString second = setupWith(kGeneral + "Options=q\r\n", {}, "setup2");
  s.environment.insert("KVT_SETUP_LOCK_WAIT_MS", "500");
  ASSERT_TRUE(s.run(second, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("Setup stopped waiting for another setup that is still using \"" +
                                       privateFolder() + "\"."))
      << s.standardError.toStdString();
  EXPECT_EQ(BootstrapperRun::readFile(privateFolder() + "package.msi"), "package");
  BootstrapperRun::writeFile(release(), "");
  ASSERT_TRUE(s.finish(*first));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_EQ(BootstrapperRun::readFile(s.records + "/installs"), md5("package") + " 700\n");
}

TEST_F(BootstrapperTest, APrivateFolderOpenToOthersIsNamedAndLeftToTheUser) {
  const QString program = setupWith({});
  ASSERT_EQ(::mkdir(QFile::encodeName(privateFolder()).constData(), 0700), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(privateFolder()).constData(), 0755), 0);
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("Setup cannot use its temporary folder \"" + privateFolder() +
                                       "\": it must be a folder of your own that no one else can open.\n"
                                       "Remove that folder and run setup again."))
      << s.standardError.toStdString();
  EXPECT_TRUE(s.installerArguments().isEmpty());
  EXPECT_TRUE(QDir(privateFolder()).isEmpty());
}

TEST_F(BootstrapperTest, EachStopSignalEndsARunWaitingForTheFolderAsCancelled) {
  auto first = firstRunInstalling();
  const QString second = setupWith({}, {}, "setup2");
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    auto waiting = s.start(second, {});
    ASSERT_TRUE(catchesStopSignals(*waiting)) << number;
    QThread::msleep(300);
    ::kill(pid_t(waiting->processId()), number);
    ASSERT_TRUE(s.finish(*waiting)) << number;
    EXPECT_EQ(s.exitCode, 255) << number << s.standardError.toStdString();
    EXPECT_EQ(BootstrapperRun::readFile(privateFolder() + "package.msi"), "package");
  }
  BootstrapperRun::writeFile(release(), "");
  ASSERT_TRUE(s.finish(*first));
  EXPECT_EQ(s.exitCode, 0);
}

// The installer is not left running without its parent: the run waits for it, then removes everything.
TEST_F(BootstrapperTest, AStopWhileThePackageInstallsWaitsForItAndLeavesNothing) {
  s.setInstallerWaitingFor(release(), 7);
  auto setup = s.start(setupWith(kGeneral + "KeepFiles=complete\r\n"), {});
  ASSERT_TRUE(BootstrapperRun::waitFor(s.records + "/installing"));
  stopWhileBusy(*setup);
  EXPECT_EQ(s.exitCode, 7);
  EXPECT_FALSE(QDir(privateFolder()).exists());
}

TEST_F(BootstrapperTest, AStopDuringQuietPassesWaitsForThePrerequisiteAndEndsCancelled) {
  const QString script = s.waitingScript("prereq.sh", "prereq", release());
  const QString program = setupWith(kGeneral + "Options=q\r\nKeepFiles=complete\r\n" + kRuntime,
                                    {"--file", "100:1:prereq.sh=" + script});
  auto setup = s.start(program, {});
  ASSERT_TRUE(BootstrapperRun::waitFor(s.records + "/prereq.started"));
  EXPECT_TRUE(s.runValuePresent(program));
  stopWhileBusy(*setup);
  EXPECT_EQ(s.exitCode, 255);
  EXPECT_FALSE(s.runValuePresent(program));
  EXPECT_TRUE(s.installerArguments().isEmpty());
  EXPECT_FALSE(QDir(privateFolder()).exists());
}

TEST_F(BootstrapperTest, AStopDuringAStalledDownloadEndsAtOnceAndKeepsThePart) {
  const QByteArray big(16 * 1024 * 1024, 'x');
  serve("big.sh", big);
  for (const QString option : {"q", "b"}) {
    SCOPED_TRACE(option.toStdString());
    const QString folder = s.work + "/dl-" + option;
    const QString program =
        setupWith(kGeneral + "Options=" + option + "\r\nDownloadFolder=" + folder +
                  "\r\n[PREREQUISITES]\r\nApp1=Big\r\n" + downloadSection(1, "slow/big.sh", big.size()));
    auto setup = s.start(program, {});
    ASSERT_TRUE(BootstrapperRun::eventually([&] { return QFileInfo(folder + "/big.sh.part").size() > 0; }));
    ::kill(pid_t(setup->processId()), SIGTERM);
    ASSERT_TRUE(s.finish(*setup));
    EXPECT_EQ(s.exitCode, 255) << s.standardError.toStdString();
    EXPECT_GT(QFileInfo(folder + "/big.sh.part").size(), 0);
    EXPECT_LT(QFileInfo(folder + "/big.sh.part").size(), big.size());
    EXPECT_FALSE(s.runValuePresent(program));
    EXPECT_TRUE(s.installerArguments().isEmpty());
    EXPECT_FALSE(QDir(privateFolder()).exists());
  }
}

// A full disk stands in as a limit on the size of the files the program writes.
TEST_F(BootstrapperTest, AFullDiskDuringACompressedExtractionLeavesNoCutOffPackage) {
  BootstrapperRun::writeFile(s.work + "/big.msi", QByteArray(3 * 1024 * 1024, 'p'));
  const QString program = compressedSetupOf(s.work + "/big.msi");
  const QString out = TestEnv::freshDir("out");
  s.fileSizeLimit = 1024 * 1024;
  ASSERT_TRUE(s.run(program, {"/extract:" + out}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("An error occurred while extracting."))
      << s.standardError.toStdString();
  EXPECT_FALSE(QFile::exists(out + "/pkg/package.msi"));
  // The package's own extraction gets the decompressor's result, and the user the reason.
  ASSERT_TRUE(s.run(program, {"/extractlzma"}));
  EXPECT_EQ(s.exitCode, 13);
  EXPECT_TRUE(s.standardError.contains("An error occurred while extracting."))
      << s.standardError.toStdString();
}

// Some launchers and service managers start programs with standard input, output and
// error closed: the builder and every route of the setups it builds still run.
TEST_F(BootstrapperTest, StartedWithTheStandardDescriptorsClosedEveryRouteRuns) {
  s.standardDescriptorsClosed = true;
  ASSERT_TRUE(s.run(setupWith({}, {}, "stored"), {}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
  const QString program = compressedSetupOf(s.work + "/package.msi");
  const QString out = TestEnv::freshDir("out");
  ASSERT_TRUE(s.run(program, {"/extract:" + out}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_EQ(BootstrapperRun::readFile(out + "/pkg/package.msi"), "package");
  QFile::remove(s.records + "/msiexec.args");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0);
  EXPECT_NE(installerArguments().find("pkg/package.msi"), std::string::npos);
}

// A program the setup cannot start is named: Windows Installer's, for a package
// or its URL, and the desktop's opener for any other main package.
TEST_F(BootstrapperTest, AProgramThatCannotBeStartedIsNamed) {
  const QString installer = "Setup could not start \"" + s.system + "/msiexec.exe\": the program is missing";
  const QString opener = "Setup could not start \"xdg-open\": the program is missing or cannot be run.";
  BootstrapperRun::writeFile(s.work + "/readme.pdf", "%PDF-1.4");
  const QString document = s.work + "/document";
  ASSERT_TRUE(s.build(document, {"--file", "1:0:readme.pdf=" + s.work + "/readme.pdf"}));
  const struct {
    QString setup;
    QString expected;
  } cases[] = {
      {setupWith({}, {}, "stored"), installer},
      {setupWith(kGeneral + "MainAppURL=http://127.0.0.1:9/package.msi\r\n", {}, "url"), installer},
      {document, opener},
  };
  QFile::remove(s.system + "/msiexec.exe");
  // Nothing on the search path: no opener either.
  s.environment.insert("PATH", TestEnv::freshDir("empty-path"));
  for (const auto& c : cases) expectFailureSaying(c.setup, c.expected);
}

// On an extraction folder that runs no programs, a missing installer is still
// named; a package that is itself a program could not run there, and the folder
// is named. A "#!" script whose interpreter is missing fails to start as the
// program would on such a mount, which the test may not make.
TEST_F(BootstrapperTest, OnAFolderThatRunsNoProgramsTheProgramOrTheFolderIsNamed) {
  BootstrapperRun::writeFile(s.work + "/tool.sh", "#!/nonexistent/interpreter\n");
  const QString program = s.work + "/program";
  ASSERT_TRUE(s.build(program, {"--file", "1:0:tool.sh=" + s.work + "/tool.sh"}));
  const struct {
    QString setup;
    QString expected;
  } cases[] = {
      {setupWith({}), "Setup could not start \"" + s.system + "/msiexec.exe\": the program is missing"},
      {program,
       "Setup cannot run programs from \"" + privateFolder() + "\": its file system does not allow it."},
  };
  QFile::remove(s.system + "/msiexec.exe");
  s.environment.insert("KVT_NOEXEC_FOLDER", s.temp);
  for (const auto& c : cases) expectFailureSaying(c.setup, c.expected);
}

// The package that asks for the extraction waits for it: the reason is a plain line, never a box.
TEST_F(BootstrapperTest, AFailedExtractLzmaTellsItsReasonOnOneLineOfStandardError) {
  const struct {
    const char* what;
    QString setup;
    int exitCode;
  } cases[] = {
      {"a damaged block", damagedCompressedSetup(), 13},
      {"a decompressor that is no library", compressedSetupWithoutLibrary(), 11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(s.run(c.setup, {"/extractlzma"}));
    EXPECT_EQ(s.exitCode, c.exitCode);
    EXPECT_EQ(s.standardError.toStdString(), "An error occurred while extracting.\n");
  }
}

TEST_F(BootstrapperTest, EveryFailureLeavesNothingInTheTemporaryFolder) {
  BootstrapperRun::writeFile(s.work + "/big.cab", QByteArray(1024 * 1024, 'p'));
  const QString damagedImage = setupWith({}, {"--md5"}, "image");
  QFile image(damagedImage);
  ASSERT_TRUE(image.open(QIODevice::ReadWrite));
  image.seek(image.size() / 2);
  image.write("damage");
  image.close();
  const QString damagedBlock = damagedCompressedSetup();
  const QString relaunched = sideFilesOnANetworkDrive();
  const auto fullDisk = [&] { s.fileSizeLimit = 64 * 1024; };
  const auto nothing = [] {};
  const struct {
    const char* what;
    QString setup;
    QStringList args;
    int exitCode;
    std::function<void()> arrange;
  } cases[] = {
      {"a damaged image", damagedImage, {}, 1, nothing},
      {"a full disk under the package",
       setupWith({}, {"--file", "1:5:big.cab=" + s.work + "/big.cab"}, "big"),
       {},
       1,
       fullDisk},
      {"an installer that cannot start",
       setupWith({}, {}, "stored"),
       {},
       1,
       [&] { QFile::remove(s.system + "/msiexec.exe"); }},
      {"a cancelled wizard", setupWithRuntime({}), {}, 255, nothing},
      {"a compressed run on a damaged block", damagedBlock, {}, 1, nothing},
      {"/extractlzma on a damaged block", damagedBlock, {"/extractlzma"}, 13, nothing},
      {"/extractlzma with a decompressor that is no library",
       compressedSetupWithoutLibrary(),
       {"/extractlzma"},
       11,
       nothing},
      {"a relaunch where no program may run",
       relaunched,
       {},
       1,
       [&] { s.environment.insert("KVT_NOEXEC_FOLDER", s.temp); }},
      {"a relaunch whose copy cannot be written", relaunched, {}, 1, fullDisk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    ASSERT_TRUE(s.run(c.setup, c.args));
    EXPECT_EQ(s.exitCode, c.exitCode) << s.standardError.toStdString();
    EXPECT_EQ(temporaryFolderHolds(), "");
    s.fileSizeLimit = 0;
    s.environment.remove("KVT_NOEXEC_FOLDER");
    s.setInstallerExitCode(0);
  }
}

// The decompressor is handed the block's folder by a short name of the setup's own: a
// compressed setup unpacks, for a run and for "/extract:", into folders whose paths pass
// the 260 bytes of the decompressor's record.
TEST_F(BootstrapperTest, ACompressedSetupUnpacksIntoFoldersLongerThanTheRecord) {
  const QString blockFolder = QString(125, 'b') + "/" + QString(124, 'c');
  const QString program = s.work + "/setup";
  ASSERT_TRUE(s.build(program, {"--file", QStringLiteral("2:7:KVTdecompress.so=") + KVT_DECOMPRESSOR,
                                "--block", "2:" + QString(blockFolder).replace('/', '\\') + "\\package.dat",
                                "--member", "package.msi=" + s.work + "/package.msi", "--compressed"}));
  // A folder of `name` padded to 200 bytes with its closing "/".
  const auto longFolder = [](const QString& name) {
    return TestEnv::freshDir(name + QString(198 - TestEnv::sandbox().size() - name.size(), 'l')) + "/";
  };
  const QString out = longFolder("out");
  ASSERT_EQ(out.size(), 200);
  ASSERT_EQ(blockFolder.size(), 250);
  ASSERT_TRUE(s.run(program, {"/extract:" + out}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(BootstrapperRun::readFile(out + blockFolder + "/package.msi"), "package");

  s.temp = longFolder("tmp").chopped(1);
  s.environment.insert("TMPDIR", s.temp);
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(s.installerArguments().split('\n').mid(0, 2),
            QStringList({"/i", privateFolder() + blockFolder + "/package.msi"}));
  EXPECT_EQ(temporaryFolderHolds(), "");
}

// A damaged setup writes nothing on "/extract:" either: its digest is checked first.
TEST_F(BootstrapperTest, ExtractChecksTheDigestFirstAndADamagedSetupWritesNothing) {
  const QString program = setupWith({}, {"--md5"});
  const QString intact = TestEnv::freshDir("intact");
  ASSERT_TRUE(s.run(program, {"/extract:" + intact}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(QDir(intact).entryList(QDir::Files), QStringList({"data.cab", "package.msi"}));
  QFile file(program);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  const qint64 middle = file.size() / 2;
  file.seek(middle);
  const char byte = file.read(1)[0];
  file.seek(middle);
  file.write(QByteArray(1, char(byte ^ 0x01)));
  file.close();
  const QString damaged = TestEnv::freshDir("damaged");
  ASSERT_TRUE(s.run(program, {"/extract:" + damaged}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_EQ(s.standardError.section('\n', -2, -2).toStdString(), "Error: This archive is corrupted.");
  EXPECT_TRUE(QDir(damaged).isEmpty());
}

// However deep a file lies, extraction and clean-up hold few descriptors: 2,000 nested folders
// extract, run and are removed with 64 descriptors allowed, stored or in a compressed block.
TEST_F(BootstrapperTest, TwoThousandNestedFoldersExtractRunAndGoWithFewDescriptors) {
  const QString nested = QString("a/").repeated(2000) + "deep.txt";
  BootstrapperRun::writeFile(s.work + "/deep.txt", "deep");
  const QString stored = s.work + "/stored";
  ASSERT_TRUE(s.build(stored, {"--file", "1:0:package.msi=" + s.work + "/package.msi", "--file",
                               "1:4:" + QString(nested).replace('/', '\\') + "=" + s.work + "/deep.txt"}));
  const QString compressed = s.work + "/compressed";
  ASSERT_TRUE(s.build(compressed, {"--file", QStringLiteral("2:7:KVTdecompress.so=") + KVT_DECOMPRESSOR,
                                   "--block", "2:pkg\\package.dat", "--member",
                                   "package.msi=" + s.work + "/package.msi", "--member",
                                   nested + "=" + s.work + "/deep.txt", "--compressed"}));
  s.descriptorLimit = 64;
  const struct {
    const char* what;
    QString setup;
    QString extracted;  // where the deep file lies below the extraction folder
  } cases[] = {{"stored", stored, nested}, {"compressed", compressed, "pkg/" + nested}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString out = TestEnv::freshDir(QString("out-") + c.what);
    ASSERT_TRUE(s.run(c.setup, {"/extract:" + out}));
    EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
    EXPECT_EQ(BootstrapperRun::readFile(out + "/" + c.extracted), "deep");
    QFile::remove(s.records + "/msiexec.args");
    ASSERT_TRUE(s.run(c.setup, {}));
    EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
    EXPECT_EQ(installerArguments().substr(0, 3), "/i|");
    EXPECT_EQ(temporaryFolderHolds(), "");
  }
}

// A block damaged where xz finds it only at the end of its check leaves no member on
// "/extract:", whole-sized or not; what the folder held before stays.
TEST_F(BootstrapperTest, ADamagedBlockLeavesNoMemberWithWrongBytes) {
  const QString program = damagedCompressedSetup();
  const QString out = TestEnv::freshDir("out");
  BootstrapperRun::writeFile(out + "/pkg/mine.txt", "mine");
  ASSERT_TRUE(s.run(program, {"/extract:" + out}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_TRUE(s.standardError.contains("An error occurred while extracting.")) << s.standardError.toStdString();
  EXPECT_EQ(QDir(out + "/pkg").entryList(QDir::Files), QStringList{"mine.txt"});
}

// A relaunch whose copy cannot start removes that copy and the private folder it emptied, and
// nothing else: neither what lies beside it in the temporary folder nor what another run left.
TEST_F(BootstrapperTest, ARelaunchThatCannotStartRemovesItsCopyAndNothingElse) {
  const QString program = sideFilesOnANetworkDrive();
  s.environment.insert("KVT_NOEXEC_FOLDER", s.temp);
  BootstrapperRun::writeFile(s.temp + "/other.txt", "other");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_EQ(temporaryFolderHolds(), "other.txt");
  ASSERT_TRUE(QDir().mkpath(privateFolder()));
  ASSERT_TRUE(QFile::setPermissions(privateFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  BootstrapperRun::writeFile(privateFolder() + "kept.txt", "kept");
  ASSERT_TRUE(s.run(program, {}));
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_EQ(temporaryFolderHolds(), "KVTsetup-" + std::to_string(::getuid()) + " other.txt");
  EXPECT_EQ(QDir(privateFolder()).entryList(QDir::Files), QStringList{"kept.txt"});
}
