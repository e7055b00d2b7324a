#include "CPrerequisiteSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <algorithm>

#include "Ansi.h"
#include "CBootstrapConfig.h"
#include "CPayloadArchive.h"
#include "DownloadErrors.h"
#include "DownloadUrl.h"
#include "IProgressSink.h"
#include "NoExecCheck.h"
#include "SetupMessages.h"
#include "SetupPaths.h"
#include "SetupStrings.h"
#include "ShellOpen.h"
#include "VerifyFileMd5.h"
#include "WindowsInstaller.h"

namespace {

constexpr int kWrongMd5 = 139;
constexpr int kInstalling = 153;
constexpr int kWrongSize = 186;
constexpr int kOpeningSite = 198;
constexpr int kDownloading = 199;
constexpr int kError = 215;

// Lets a cancelled sink stop the download under way, and keeps the code a
// failed download ended with.
class CancelFromSink : public IDownloadObserver {
 public:
  explicit CancelFromSink(IProgressSink* sink) : sink_(sink) {}
  bool isCancelled() override { return sink_ && sink_->isCancelled(); }
  void error(int, std::uint32_t code) override { failure = code; }

  std::uint32_t failure = 0;

 private:
  IProgressSink* sink_;
};

// A run without any window tells a failure on standard error, as a
// message box does where no one can see it.
void tellUnattended(const QString& step, const QString& problem) {
  ReportCaptioned(step, setupText(kError, {problem}));
}

bool stopsHere(IProgressSink* sink, const QString& text) {
  if (!sink) return false;
  if (sink->isCancelled()) return true;
  sink->status(text);
  return false;
}

bool hasWorkState(int state) {
  return state == PrerequisiteState::Install || state == PrerequisiteState::Download ||
         state == PrerequisiteState::DownloadedPresent || state == PrerequisiteState::OpenSite;
}

QString payloadPath(const QString& name) { return QString(name).replace('\\', '/'); }

}  // namespace

CPrerequisiteSet::CPrerequisiteSet(CBootstrapConfig& config, CPayloadArchive& archive)
    : config_(config), archive_(archive) {
  const QString configured = config_.GetDownloadFolder();
  const QString folder = configured.isEmpty() ? QFileInfo(archive_.archivePath()).absolutePath() : configured;
  // Nothing of ours lands where other users can plant links first.
  queue_.setDownloadFolder(SetupPaths::privateWhenTemporary(folder));
  baseStates = config_.states;
  chosenStates = config_.states;
  refreshDownloadedFiles();
  countPendingMandatory();
}

CPrerequisiteSet::~CPrerequisiteSet() { WaitForInstallRunner(); }

bool CPrerequisiteSet::isMandatory(int index) const {
  return config_.prerequisites.at(index).options.contains('m');
}

DownloadJobRecord CPrerequisiteSet::downloadRecordFor(int index) const {
  const PrerequisiteInfo& info = config_.prerequisites.at(index);
  DownloadJobRecord record;
  record.url = info.location;
  record.expectedSize = info.exactSize;
  record.md5 = info.md5.toLatin1();
  record.prerequisiteIndex = index;
  record.subfolder = info.folder;
  return record;
}

QString CPrerequisiteSet::downloadedFileFor(int index) const {
  CDownloadQueue single;
  single.setDownloadFolder(queue_.downloadFolder());
  single.addJob(downloadRecordFor(index));
  const QString folder = single.folderFor(0);
  return folder.isEmpty() ? QString() : TargetPathFor(QString(), single.job(0).url, folder);
}

// A downloaded file counts only when its size and, when given, its MD5 match:
// 0 then, else the text that says what is wrong with it.
int CPrerequisiteSet::downloadFault(int index) const {
  const PrerequisiteInfo& info = config_.prerequisites.at(index);
  const QString path = downloadedFileFor(index);
  const QFileInfo file(path);
  if (path.isEmpty() || !file.isFile() || file.size() != info.exactSize) return kWrongSize;
  if (!info.md5.isEmpty() && !VerifyFileMd5(path, info.md5.toLatin1(), 0)) return kWrongMd5;
  return 0;
}

bool CPrerequisiteSet::downloadIsComplete(int index) const { return downloadFault(index) == 0; }

void CPrerequisiteSet::refreshDownloadedFiles() {
  for (int i = 0; i < count(); ++i) {
    const int state = baseStates[i];
    if (state != PrerequisiteState::Download && state != PrerequisiteState::DownloadedPresent) continue;
    baseStates[i] =
        downloadIsComplete(i) ? PrerequisiteState::DownloadedPresent : PrerequisiteState::Download;
  }
}

void CPrerequisiteSet::countPendingMandatory() {
  pendingMandatory_ = 0;
  for (int i = 0; i < count(); ++i) {
    const int detected = config_.states.value(i);
    const bool pending = detected == PrerequisiteState::Install || detected == PrerequisiteState::Download ||
                         detected == PrerequisiteState::OpenSite;
    if (isMandatory(i) && pending) ++pendingMandatory_;
  }
}

int CPrerequisiteSet::forcedState(int index) const {
  switch (config_.prerequisites.at(index).kind) {
    case PrerequisiteKind::Download:
      return downloadIsComplete(index) ? PrerequisiteState::DownloadedPresent : PrerequisiteState::Download;
    case PrerequisiteKind::WebSite:
      return PrerequisiteState::OpenSite;
    default:
      return PrerequisiteState::Install;
  }
}

int CPrerequisiteSet::ChosenStateFor(int index, bool checked) const {
  if (!checked) return PrerequisiteState::Unchecked;
  const int base = baseStates.at(index);
  return base != PrerequisiteState::NothingToDo ? base : forcedState(index);
}

void CPrerequisiteSet::RedetectAll() {
  for (int i = 0; i < count(); ++i) {
    if (chosenStates[i] == PrerequisiteState::Unchecked ||
        chosenStates[i] == PrerequisiteState::NotForThisSystem)
      continue;
    config_.RedetectOne(i);
    baseStates[i] = chosenStates[i] = config_.states.at(i);
  }
  refreshDownloadedFiles();
  countPendingMandatory();
}

void CPrerequisiteSet::SetDownloadFolder(const QString& folder) {
  queue_.setDownloadFolder(folder);
  refreshDownloadedFiles();
}

bool CPrerequisiteSet::HasPendingWork() const {
  for (int state : chosenStates)
    if (state != PrerequisiteState::NothingToDo && state != PrerequisiteState::NotForThisSystem &&
        state != PrerequisiteState::Unchecked)
      return true;
  return false;
}

bool CPrerequisiteSet::MandatoryDone() const {
  for (int i = 0; i < count(); ++i)
    if (isMandatory(i) && chosenStates[i] != PrerequisiteState::NothingToDo &&
        chosenStates[i] != PrerequisiteState::Unchecked)
      return false;
  return true;
}

bool CPrerequisiteSet::AnyOpenSite() const { return chosenStates.contains(PrerequisiteState::OpenSite); }

bool CPrerequisiteSet::AnyInstall() const {
  return chosenStates.contains(PrerequisiteState::Install) ||
         chosenStates.contains(PrerequisiteState::Downloaded) ||
         chosenStates.contains(PrerequisiteState::DownloadedPresent);
}

void CPrerequisiteSet::RunAllPasses(IProgressSink& sink) {
  const int total = int(std::count_if(baseStates.cbegin(), baseStates.cend(), hasWorkState));
  sink.begin(total);
  sink.start(total);
  RunDownloadPass(&sink);
  RunOpenSitePass(&sink);
  RunInstallPass(&sink);
  sink.finished();
}

void CPrerequisiteSet::QueueDownloads(const QList<int>& states) {
  queue_.clear();
  for (int i = 0; i < count(); ++i)
    if (states.at(i) == PrerequisiteState::Download) queue_.addJob(downloadRecordFor(i));
}

void CPrerequisiteSet::RunDownloadPass(IProgressSink* sink) {
  QueueDownloads(baseStates);
  CancelFromSink observer(sink);
  const bool unwatched = !sink || !sink->watched();
  for (int j = 0; j < queue_.count(); ++j) {
    const int index = queue_.job(j).prerequisiteIndex;
    const QString& name = config_.prerequisites.at(index).name;
    if (stopsHere(sink, setupText(kDownloading, {name}))) return;
    observer.failure = 0;
    if (queue_.RunQueuedJob(j, &observer) != 0) {
      baseStates[index] = PrerequisiteState::DownloadFailed;
      if (unwatched && observer.failure != 0)
        tellUnattended(setupText(kDownloading, {name}),
                       GetInternetErrorText(observer.failure, queue_.folderFor(j)));
    } else if (const int fault = checkDownload(index); fault != 0 && unwatched) {
      tellUnattended(setupText(kDownloading, {name}), SetupStrings::text(fault));
    }
  }
}

// 0 when the downloaded file is good, else the text that says what is wrong.
int CPrerequisiteSet::checkDownload(int index) {
  const QString path = downloadedFileFor(index);
  if (const int fault = downloadFault(index); fault != 0) {
    discardDownload(path);
    baseStates[index] = PrerequisiteState::Download;
    return fault;
  }
  if (ShellOpen::isDirectlyRunnable(path))
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
  baseStates[index] = PrerequisiteState::Downloaded;
  return 0;
}

// Removes a wrong download and the folders it leaves empty, never above the download folder.
void CPrerequisiteSet::discardDownload(const QString& path) const {
  if (path.isEmpty()) return;
  QFile::remove(path);
  const QString top = QDir::cleanPath(queue_.downloadFolder());
  QString folder = QFileInfo(path).absolutePath();
  while (folder.startsWith(top + '/') && QDir().rmdir(folder)) folder = QFileInfo(folder).absolutePath();
}

void CPrerequisiteSet::RunOpenSitePass(IProgressSink* sink) {
  for (int i = 0; i < count(); ++i) {
    if (chosenStates[i] != PrerequisiteState::OpenSite) continue;
    const PrerequisiteInfo& info = config_.prerequisites.at(i);
    if (stopsHere(sink, setupText(kOpeningSite, {info.name}))) return;
    OpenUrlViaShortcut(info.location);
  }
}

bool CPrerequisiteSet::OpenUrlViaShortcut(const QString& url) {
  const QString folder = SetupPaths::privateTempFolder();
  if (folder.isEmpty()) return false;
  QTemporaryFile shortcut(folder + QStringLiteral("URLXXXXXX.url"));
  if (!shortcut.open()) return false;
  const QByteArray text = "[InternetShortcut]\r\nURL=" + toAnsi(url) + "\r\n";
  const bool written = shortcut.write(text) == text.size() && shortcut.flush();
  shortcut.close();
  return written && QProcess::startDetached(QStringLiteral("xdg-open"), {url});
}

void CPrerequisiteSet::BuildInstallList(bool fromChosenStates) {
  installList_.clear();
  const QList<int>& states = fromChosenStates ? chosenStates : baseStates;
  for (int i = 0; i < count(); ++i) addInstallItem(i, states[i]);
}

bool CPrerequisiteSet::addInstallItem(int index, int state) {
  const PrerequisiteInfo& info = config_.prerequisites.at(index);
  QString path;
  if (state == PrerequisiteState::Install) {
    archive_.ExtractPrerequisiteGroup(info.location);
    path = archive_.extractionFolder() + payloadPath(info.location);
  } else if (state == PrerequisiteState::Downloaded || state == PrerequisiteState::DownloadedPresent) {
    path = downloadedFileFor(index);
  } else {
    return false;
  }
  installList_.append(InstallItem{path, info.commandLine, info.name, 0, QString()});
  return true;
}

QString CPrerequisiteSet::InstallItem::errorText() const {
  return error == 0 ? QString() : GetInternetErrorText(std::uint32_t(error), errorSubject);
}

// A failure names what could not run: the prerequisite's own program when it is
// missing, else the program that opens it, or the folder that runs no programs.
void CPrerequisiteSet::runInstallItem(InstallItem& item) {
  const auto fail = [&item](std::uint32_t code, const QString& subject) {
    item.error = int(code);
    item.errorSubject = subject;
  };
  if (!QFileInfo(item.path).isFile()) return fail(DownloadErrors::kCannotStart, item.path);
  const QString folder = QFileInfo(item.path).absolutePath();
  if (ShellOpen::isDirectlyRunnable(item.path) && !folderAllowsPrograms(folder)) {
    if (blockedFolder_.isEmpty()) blockedFolder_ = folder;
    return fail(DownloadErrors::kProgramsNotAllowed, folder);
  }
  int exitCode = 0;
  if (!ShellOpen::openAndWait(item.path, item.parameters, installerProgram(), exitCode))
    fail(DownloadErrors::kCannotStart,
         ShellOpen::openingOf(item.path, item.parameters, installerProgram()).program);
}

void CPrerequisiteSet::RunInstallPass(IProgressSink* sink) {
  BuildInstallList(false);
  const bool unwatched = !sink || !sink->watched();
  for (InstallItem& item : installList_) {
    const QString step = setupText(kInstalling, {item.name});
    if (stopsHere(sink, step)) return;
    runInstallItem(item);
    // A folder that runs no programs is told once, with what to do, when the passes end.
    if (unwatched && item.error != 0 && std::uint32_t(item.error) != DownloadErrors::kProgramsNotAllowed)
      tellUnattended(step, item.errorText());
  }
}

void CPrerequisiteSet::runInstallList(IProgressSink& sink) {
  sink.start(int(installList_.size()));
  for (InstallItem& item : installList_) {
    if (sink.isCancelled()) break;
    sink.status(item.name);
    runInstallItem(item);
    if (item.error != 0)
      sink.itemFailed(item.error);
    else
      sink.itemSucceeded();
  }
  sink.finished();
}

void CPrerequisiteSet::StartInstallRunner(IProgressSink& sink) {
  WaitForInstallRunner();
  installRunner_ = std::thread([this, &sink] { runInstallList(sink); });
}

void CPrerequisiteSet::WaitForInstallRunner() {
  if (installRunner_.joinable()) installRunner_.join();
}
