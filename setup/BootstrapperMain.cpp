#include "BootstrapperMain.h"

#include <QApplication>
#include <QFileInfo>
#include <memory>

#include "CBootstrapConfig.h"
#include "CPayloadArchive.h"
#include "CPreparingDlg.h"
#include "CPrereqProgressDlg.h"
#include "CPrereqWizard.h"
#include "CPrerequisiteSet.h"
#include "FixedDrives.h"
#include "NoExecCheck.h"
#include "Relaunch.h"
#include "RunKeyValue.h"
#include "SetupCommandLine.h"
#include "SetupMessages.h"
#include "SetupPaths.h"
#include "SetupStrings.h"
#include "VerifyFileMd5.h"
#include "VersionResource.h"
#include "WindowsInstaller.h"

namespace {

constexpr int kCorrupted = 129;
constexpr int kInstallerMissing = 135;
constexpr int kCheckingIntegrity = 138;
constexpr int kExtractingMain = 141;
constexpr int kTitle = 161;
constexpr int kCancelledByUser = 1602;
constexpr int kFailed = 1;
constexpr int kCancelled = -1;
constexpr qint64 kTrailerSize = 76;

// The program's product name from its version block; empty when it has none.
QString productName(const QString& path) {
  const auto info = VersionResource::readFile(path);
  return info ? info->string(QStringLiteral("ProductName")) : QString();
}

// Exit codes reach us modulo 256: the installer's "cancelled by the user" arrives as 66.
bool isUserCancel(int exitCode) { return exitCode == kCancelledByUser || exitCode == kCancelledByUser % 256; }

// A program on a network or removable drive runs from a copy, so the drive can go.
bool mayVanish(const QString& path) {
  const int type = FixedDrives::driveType(path);
  return type == FixedDrives::DriveType::Remote || type == FixedDrives::DriveType::Removable;
}

// One run of the setup program: the values it keeps from step to step.
class BootstrapRun {
 public:
  explicit BootstrapRun(const QString& commandLine) : commandLine_(commandLine) {}
  int exec();

 private:
  int extractEverything(const QString& folder);
  int mainSequence();
  int openPayload();
  bool integrityHolds();
  int runCompressedSwitches();
  int checkConfiguration();
  int runPrerequisites();
  bool installerReadyAfterPasses();
  int launchFromUrl();
  int launchPackage();
  int archiveFailure(int code);
  void cleanUp();

  QString commandLine_;
  QString modulePath_;
  QString sourcePath_;
  QString archivePath_;
  QString relaunchPath_;
  QString productName_;
  QString title_;
  QString packageParameters_;
  QString mainPackageUrl_;
  bool unattended_ = false;
  bool hasConfiguration_ = false;
  bool versionCheckDeferred_ = false;
  FourPartVersion msiVersion_;
  CPayloadArchive archive_;
  CBootstrapConfig config_;
  std::unique_ptr<CPrerequisiteSet> prerequisites_;
};

int BootstrapRun::exec() {
  modulePath_ = SetupPaths::modulePath();
  if (SetupCommandLine::hasSwitch(commandLine_, QStringLiteral("/?")) ||
      SetupCommandLine::hasSwitch(commandLine_, QStringLiteral("/help"))) {
    ShowUsageBox(modulePath_);
    return 0;
  }
  const auto extractFolder = SetupCommandLine::switchValue(commandLine_, QStringLiteral("/extract:"));
  sourcePath_ =
      SetupCommandLine::switchValue(commandLine_, QStringLiteral("/OriginalPath:")).value_or(QString());
  archivePath_ = sourcePath_.isEmpty() ? modulePath_ : sourcePath_;
  relaunchPath_ = relaunchPathFor(modulePath_, sourcePath_);
  if (extractFolder && extractFolder->isEmpty()) {
    ShowUsageBox(modulePath_);
    return kFailed;
  }
  const int exitCode = extractFolder ? extractEverything(*extractFolder) : mainSequence();
  cleanUp();
  return exitCode;
}

int BootstrapRun::extractEverything(const QString& folder) {
  archivePath_ = modulePath_;
  archive_.SetArchivePath(QString());
  archive_.SetExtractionFolder(folder.endsWith('/') ? folder : folder + '/');
  int code = archive_.OpenArchive();
  if (code == PayloadError::Ok) code = archive_.ReadFileTable();
  if (code == PayloadError::Ok) code = archive_.ExtractAll();
  if (code != PayloadError::Ok) return archiveFailure(code);
  archive_.setKeepState(KeepState::Everything);
  return 0;
}

int BootstrapRun::mainSequence() {
  if (const int code = openPayload(); code != PayloadError::Ok) return archiveFailure(code);
  if (archive_.has(PayloadFormat::Flag::SideFiles) && sourcePath_.isEmpty() && mayVanish(modulePath_))
    return RelaunchFromTemp(modulePath_);
  if (archive_.has(PayloadFormat::Flag::VerifyMd5) && !integrityHolds()) {
    ShowSetupError(SetupStrings::text(kCorrupted));
    return kFailed;
  }
  if (const int code = archive_.ReadFileTable(); code != PayloadError::Ok) return archiveFailure(code);
  hasConfiguration_ = QFileInfo(archive_.configurationPath()).isFile();
  if (SetupCommandLine::hasSwitch(commandLine_, QStringLiteral("/extractlzma")) ||
      SetupCommandLine::hasSwitch(commandLine_, QStringLiteral("/deletelzma")))
    return runCompressedSwitches();
  productName_ = productName(archivePath_);
  title_ = setupText(kTitle, {productName_.isEmpty() ? archivePath_ : productName_});
  msiVersion_ = CBootstrapConfig::GetMsiDllVersion();
  if (!hasConfiguration_ && msiVersion_.IsEmpty()) {
    ShowSetupError(SetupStrings::text(kInstallerMissing));
    return kFailed;
  }
  if (hasConfiguration_) {
    if (const int code = checkConfiguration(); code != 0) return code;
    if (const int code = runPrerequisites(); code != 0) return code;
    if (!installerReadyAfterPasses()) return kFailed;
  }
  return mainPackageUrl_.isEmpty() ? launchPackage() : launchFromUrl();
}

// The archive path and the extraction folder; a relaunched copy reads the
// original program and forgets the options given to it.
int BootstrapRun::openPayload() {
  if (const int code = archive_.UseTempFolder(); code != PayloadError::Ok) return code;
  if (!sourcePath_.isEmpty()) {
    archive_.SetArchivePath(sourcePath_);
    commandLine_.clear();
  }
  return archive_.OpenArchive();
}

bool BootstrapRun::integrityHolds() {
  CPreparingDlg status;
  status.setText(SetupStrings::text(kCheckingIntegrity));
  return VerifyFileMd5(archivePath_, archive_.trailer().md5, kTrailerSize);
}

int BootstrapRun::runCompressedSwitches() {
  QString configuredFolder;
  if (hasConfiguration_) {
    config_.LoadConfiguration(archive_.configurationPath());
    configuredFolder = config_.GetExtractionFolder();
  }
  if (SetupCommandLine::hasSwitch(commandLine_, QStringLiteral("/extractlzma")))
    return archive_.ExtractCompressedOnly(configuredFolder);
  archive_.DeleteCompressedFolder(configuredFolder);
  return 0;
}

// Reads the configuration and detects the prerequisites behind the status box.
int BootstrapRun::checkConfiguration() {
  CPreparingDlg status(title_);
  config_.LoadConfiguration(archive_.configurationPath());
  if (const QString folder = config_.GetExtractionFolder(); !folder.isEmpty())
    archive_.UseConfiguredExtractionFolder(folder);
  archive_.setKeepState(config_.KeepFiles);
  const bool msiMissing = msiVersion_.IsEmpty();
  if (msiMissing && !config_.HasMsiPrerequisite()) {
    status.close();
    ShowSetupError(SetupStrings::text(kInstallerMissing));
    return kFailed;
  }
  // A prerequisite brings the installer: its version can only be known after the passes.
  versionCheckDeferred_ = msiMissing;
  if (!versionCheckDeferred_ && !CheckInstallerVersion(config_, msiVersion_)) return kFailed;
  config_.DetectAll();
  packageParameters_ = config_.MainAppCmdLine;
  mainPackageUrl_ = config_.MainAppURL;
  return 0;
}

int BootstrapRun::runPrerequisites() {
  if (!config_.HasWork()) return 0;
  AddRunKeyValue(archivePath_);
  prerequisites_ = std::make_unique<CPrerequisiteSet>(config_, archive_);
  bool cancelled = false;
  if (config_.HasOption(QStringLiteral("q"))) {
    prerequisites_->RunDownloadPass(nullptr);
    prerequisites_->RunOpenSitePass(nullptr);
    prerequisites_->RunInstallPass(nullptr);
    unattended_ = true;
  } else if (config_.HasOption(QStringLiteral("b"))) {
    CPrereqProgressDlg dialog(*prerequisites_, productName_.isEmpty() ? QString() : title_);
    cancelled = dialog.run() != QDialog::Accepted;
  } else {
    CPrereqWizard wizard(*prerequisites_, productName_);
    wizard.run(QApplication::activeWindow());
    cancelled = wizard.cancelled();
  }
  if (const QString folder = prerequisites_->blockedFolder(); !folder.isEmpty()) ShowNoExecError(folder);
  if (!cancelled) return 0;
  RemoveRunKeyValue(archivePath_);
  archive_.setKeepState(KeepState::Nothing);
  return kCancelled;
}

bool BootstrapRun::installerReadyAfterPasses() {
  if (!versionCheckDeferred_) return true;
  msiVersion_ = CBootstrapConfig::GetMsiDllVersion();
  if (CheckInstallerVersion(config_, msiVersion_)) return true;
  RemoveRunKeyValue(archivePath_);
  return false;
}

int BootstrapRun::launchFromUrl() {
  RemoveRunKeyValue(archivePath_);
  const QString parameters = SetupCommandLine::AppendSetupProperties(packageParameters_, archivePath_);
  return RunMsiexec(mainPackageUrl_, parameters).value_or(kFailed);
}

int BootstrapRun::launchPackage() {
  if (!commandLine_.trimmed().isEmpty()) packageParameters_ = commandLine_;
  const QString parameters = SetupCommandLine::AppendSetupProperties(packageParameters_, archivePath_);
  if (!archive_.has(PayloadFormat::Flag::SideFiles)) {
    CPreparingDlg status(title_);
    status.setText(SetupStrings::text(kExtractingMain));
    if (const int code = archive_.ExtractGroup(); code != PayloadError::Ok) {
      status.close();
      return archiveFailure(code);
    }
  }
  RemoveRunKeyValue(archivePath_);
  const int code = archive_.LaunchMainPackage(parameters, title_, unattended_);
  if (code >= PayloadError::DecompressorMissing) return archiveFailure(code);
  if (code != PayloadError::Ok) {
    if (!folderAllowsPrograms(archive_.extractionFolder())) ShowNoExecError(archive_.extractionFolder());
    return kFailed;
  }
  if (isUserCancel(archive_.exitCode())) archive_.setKeepState(KeepState::Nothing);
  return archive_.exitCode();
}

int BootstrapRun::archiveFailure(int code) {
  ShowArchiveError(code);
  return kFailed;
}

void BootstrapRun::cleanUp() {
  prerequisites_.reset();
  archive_.CleanupArchive();
  if (!relaunchPath_.isEmpty())
    WriteSelfDeleteBatch(relaunchPath_);
  else
    SetupPaths::removePrivateTempFolderIfEmpty();
}

}  // namespace

int BootstrapperMain(const QString& commandLine) { return BootstrapRun(commandLine).exec(); }
