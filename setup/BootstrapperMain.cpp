#include "BootstrapperMain.h"

#include <sys/mman.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <memory>

#include "CBootstrapConfig.h"
#include "CPayloadArchive.h"
#include "CPreparingDlg.h"
#include "CPrereqProgressDlg.h"
#include "CPrereqWizard.h"
#include "CPrerequisiteSet.h"
#include "FixedDrives.h"
#include "IProgressSink.h"
#include "NoExecCheck.h"
#include "OffUiThread.h"
#include "PrivateFolderLock.h"
#include "Relaunch.h"
#include "RunKeyValue.h"
#include "SetupCommandLine.h"
#include "SetupMessages.h"
#include "SetupPaths.h"
#include "SetupStrings.h"
#include "StopSignals.h"
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
constexpr qint64 kLockWaitUnattended = 10 * 60 * 1000;

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

// How long an unattended run waits for another run to leave the private
// folder; KVT_SETUP_LOCK_WAIT_MS shortens it for tests.
qint64 unattendedLockWait() {
  bool ok = false;
  const qint64 named = qEnvironmentVariable("KVT_SETUP_LOCK_WAIT_MS").toLongLong(&ok);
  return ok && named >= 0 ? named : kLockWaitUnattended;
}

// The passes of option "q" report nothing; they only stop when asked to.
class StopOnlySink : public IProgressSink {
 public:
  explicit StopOnlySink(const std::atomic<bool>& stop) : stop_(stop) {}
  void begin(int) override {}
  void start(int) override {}
  void finished() override {}
  void status(const QString&) override {}
  void itemSucceeded() override {}
  bool isCancelled() override { return stop_; }
  void itemFailed(int) override {}
  bool watched() const override { return false; }

 private:
  const std::atomic<bool>& stop_;
};

// A stop signal closes whatever dialog stands, as its Cancel would.
void rejectOpenDialogs() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible()) dialog->reject();
}

// One run of the setup program: the values it keeps from step to step.
class BootstrapRun {
 public:
  BootstrapRun(const QString& commandLine, StopSignals& stop) : commandLine_(commandLine), stop_(stop) {}
  int exec();

 private:
  int extractEverything(const QString& folder);
  int mainSequence();
  int openPayload();
  int relaunch();
  int lockPrivateFolder();
  bool configurationAsksQuiet();
  bool integrityHolds();
  int corrupted();
  int runCompressedSwitches();
  int checkConfiguration();
  int runPrerequisites();
  bool installerReadyAfterPasses();
  int launchFromUrl();
  int launchPackage();
  void showLaunchFailure();
  int archiveFailure(int code);
  bool stopping() { return stop_.received(); }
  int stopped();
  void cleanUp();

  QString commandLine_;
  StopSignals& stop_;
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
  if (code != PayloadError::Ok) return archiveFailure(code);
  // A damaged setup writes nothing: the digest is checked before the table is read, as a run does.
  if (archive_.has(PayloadFormat::Flag::VerifyMd5) && !integrityHolds()) return corrupted();
  code = archive_.ReadFileTable();
  if (code == PayloadError::Ok) code = archive_.ExtractAll();
  if (code != PayloadError::Ok) return archiveFailure(code);
  archive_.setKeepState(KeepState::Everything);
  return 0;
}

int BootstrapRun::mainSequence() {
  if (const int code = openPayload(); code != PayloadError::Ok) {
    if (code != PayloadError::NoPath || modulePath_.isEmpty()) return archiveFailure(code);
    ShowUnsafeFolderError(SetupPaths::privateFolderPath());
    return kFailed;
  }
  if (archive_.has(PayloadFormat::Flag::SideFiles) && sourcePath_.isEmpty() && mayVanish(modulePath_))
    return relaunch();
  if (archive_.has(PayloadFormat::Flag::VerifyMd5) && !integrityHolds()) return corrupted();
  if (stopping()) return stopped();
  // The table is read before the private folder is ours; what goes into the folder waits for it.
  if (const int code = archive_.ReadTableOnly(); code != PayloadError::Ok) return archiveFailure(code);
  if (const int code = lockPrivateFolder(); code != 0) return code;
  if (const int code = archive_.ExtractConfiguration(); code != PayloadError::Ok) return archiveFailure(code);
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
    if (stopping()) return stopped();
    if (const int code = runPrerequisites(); code != 0) return code;
    if (!installerReadyAfterPasses()) return kFailed;
  }
  if (stopping()) return stopped();
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

// A payload whose files lie beside the program reads its table without writing anything.
int BootstrapRun::relaunch() {
  if (const int code = archive_.ReadFileTable(); code != PayloadError::Ok) return archiveFailure(code);
  if (const int code = lockPrivateFolder(); code != 0) return code;
  return RelaunchFromTemp(modulePath_);
}

// Waits, behind the status box, while another run of the user's has the private
// folder; an unattended run waits without a window and gives up in time.
int BootstrapRun::lockPrivateFolder() {
  PrivateFolderLock::Result result = PrivateFolderLock::tryLock();
  if (result == PrivateFolderLock::Result::Busy) {
    const bool quiet = configurationAsksQuiet();
    const QDeadlineTimer deadline = quiet ? QDeadlineTimer(unattendedLockWait()) : QDeadlineTimer::Forever;
    const auto wait = [&] { result = PrivateFolderLock::lockWithin(deadline, stop_.flag()); };
    if (quiet) {
      runOffUiThread(wait);
    } else {
      CPreparingDlg status;
      status.run(wait);
    }
  }
  switch (result) {
    case PrivateFolderLock::Result::Held:
      return 0;
    case PrivateFolderLock::Result::Stopped:
      return stopped();
    case PrivateFolderLock::Result::Unsafe:
      ShowUnsafeFolderError(SetupPaths::privateFolderPath());
      return kFailed;
    case PrivateFolderLock::Result::Busy:
      ReportFolderStillBusy(SetupPaths::privateFolderPath());
      return kFailed;
  }
  return kFailed;
}

// Option "q" of the configuration, read before the private folder is ours: a
// side file is read in place, a carried one through an anonymous copy.
bool BootstrapRun::configurationAsksQuiet() {
  QString path = archive_.configurationPath();
  UniqueFd copy;
  if (const int index = archive_.configurationIndex(); index >= 0) {
    copy = UniqueFd(::memfd_create("configuration", MFD_CLOEXEC));
    if (!copy.valid() || archive_.CopyEntryTo(index, copy.get()) != PayloadError::Ok) return false;
    path = QStringLiteral("/proc/self/fd/%1").arg(copy.get());
  }
  if (!QFileInfo(path).isFile()) return false;
  CBootstrapConfig peek;
  peek.LoadConfiguration(path);
  return peek.HasOption(QStringLiteral("q"));
}

bool BootstrapRun::integrityHolds() {
  CPreparingDlg status;
  status.setText(SetupStrings::text(kCheckingIntegrity));
  bool holds = false;
  status.run([&] { holds = VerifyFileMd5(archivePath_, archive_.trailer().md5, kTrailerSize); });
  return holds;
}

// The check did not hold, unless a stop cut it short.
int BootstrapRun::corrupted() {
  if (stopping()) return stopped();
  ShowSetupError(SetupStrings::text(kCorrupted));
  return kFailed;
}

int BootstrapRun::runCompressedSwitches() {
  QString configuredFolder;
  if (hasConfiguration_) {
    config_.LoadConfiguration(archive_.configurationPath());
    configuredFolder = config_.GetExtractionFolder();
  }
  if (SetupCommandLine::hasSwitch(commandLine_, QStringLiteral("/extractlzma"))) {
    // The package that asks for it waits for the result: no box may stop it.
    const int result = archive_.ExtractCompressedOnly(configuredFolder);
    if (result != PayloadError::Ok) ReportArchiveError(result);
    return result;
  }
  archive_.DeleteCompressedFolder(configuredFolder);
  return 0;
}

// Reads the configuration and detects the prerequisites behind the status box.
int BootstrapRun::checkConfiguration() {
  CPreparingDlg status(title_);
  status.run([this] { config_.LoadConfiguration(archive_.configurationPath()); });
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
  status.run([this] { config_.DetectAll(); });
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
    StopOnlySink sink(stop_.flag());
    runOffUiThread([&] {
      prerequisites_->RunDownloadPass(&sink);
      prerequisites_->RunOpenSitePass(&sink);
      prerequisites_->RunInstallPass(&sink);
    });
    unattended_ = true;
  } else if (config_.HasOption(QStringLiteral("b"))) {
    CPrereqProgressDlg dialog(*prerequisites_, productName_.isEmpty() ? QString() : title_);
    cancelled = dialog.run() != QDialog::Accepted;
  } else {
    CPrereqWizard wizard(*prerequisites_, productName_);
    wizard.run(QApplication::activeWindow());
    cancelled = wizard.cancelled();
  }
  if (stopping()) return stopped();
  if (const QString folder = prerequisites_->blockedFolder(); !folder.isEmpty()) ShowNoExecError(folder);
  return cancelled ? stopped() : 0;
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
  if (const auto exitCode = RunMsiexec(mainPackageUrl_, parameters)) return *exitCode;
  ShowCannotStart(installerProgram());
  return kFailed;
}

int BootstrapRun::launchPackage() {
  if (!commandLine_.trimmed().isEmpty()) packageParameters_ = commandLine_;
  const QString parameters = SetupCommandLine::AppendSetupProperties(packageParameters_, archivePath_);
  if (!archive_.has(PayloadFormat::Flag::SideFiles)) {
    CPreparingDlg status(title_);
    status.setText(SetupStrings::text(kExtractingMain));
    int code = PayloadError::Ok;
    status.run([&] { code = archive_.ExtractGroup(); });
    status.close();
    if (stopping()) return stopped();
    if (code != PayloadError::Ok) return archiveFailure(code);
  }
  RemoveRunKeyValue(archivePath_);
  const int code = archive_.LaunchMainPackage(parameters, title_, unattended_);
  // A stop that came while the package ran waited for it; what this run extracted goes.
  if (stopping()) archive_.setKeepState(KeepState::Nothing);
  if (code >= PayloadError::DecompressorMissing) return archiveFailure(code);
  if (code != PayloadError::Ok) {
    showLaunchFailure();
    return kFailed;
  }
  if (isUserCancel(archive_.exitCode())) archive_.setKeepState(KeepState::Nothing);
  return archive_.exitCode();
}

// A package that is itself the program fails on a folder that runs none; any other
// program is missing or cannot run.
void BootstrapRun::showLaunchFailure() {
  const QString& program = archive_.unstartedProgram();
  const QString folder = archive_.extractionFolder();
  if (program.isEmpty())
    ShowArchiveError(PayloadError::FileError);
  else if (program.startsWith(folder) && !folderAllowsPrograms(folder))
    ShowNoExecError(folder);
  else
    ShowCannotStart(program);
}

// After a stop signal no box waits for an answer: the failure was asked for.
int BootstrapRun::archiveFailure(int code) {
  if (stopping())
    archive_.setKeepState(KeepState::Nothing);
  else
    ShowArchiveError(code);
  return kFailed;
}

// Ends the run as its Cancel does: nothing of it stays behind.
int BootstrapRun::stopped() {
  RemoveRunKeyValue(archivePath_);
  archive_.setKeepState(KeepState::Nothing);
  return kCancelled;
}

// The private folder stays this run's until everything of it is gone.
void BootstrapRun::cleanUp() {
  prerequisites_.reset();
  archive_.CleanupArchive();
  if (!relaunchPath_.isEmpty()) WriteSelfDeleteBatch(relaunchPath_);
  PrivateFolderLock::release();
}

}  // namespace

int BootstrapperMain(const QString& commandLine) {
  StopSignals stop;
  QObject::connect(&stop, &StopSignals::stopRequested, &rejectOpenDialogs);
  return BootstrapRun(commandLine, stop).exec();
}
