#pragma once

#include <QList>
#include <QString>
#include <thread>

#include "CDownloadQueue.h"

class CBootstrapConfig;
class CPayloadArchive;
class IProgressSink;

// The prerequisites between detection and the launch of the main package:
// what the user chose for each, what was found, the downloads and the
// installs. Its passes download, open web sites and run setup programs.
class CPrerequisiteSet {
 public:
  struct InstallItem {
    QString path;
    QString parameters;
    QString name;
    int error = 0;
    QString errorSubject;  // the program or folder the error names
    // What went wrong, in the setup's language; empty while nothing did.
    QString errorText() const;
  };

  CPrerequisiteSet(CBootstrapConfig& config, CPayloadArchive& archive);
  // Waits for the install runner.
  ~CPrerequisiteSet();
  CPrerequisiteSet(const CPrerequisiteSet&) = delete;
  CPrerequisiteSet& operator=(const CPrerequisiteSet&) = delete;

  void RunDownloadPass(IProgressSink* sink);
  void RunOpenSitePass(IProgressSink* sink);
  void RunInstallPass(IProgressSink* sink);
  void RunAllPasses(IProgressSink& sink);

  // Fills the download queue with every prerequisite whose state in `states` is a download.
  void QueueDownloads(const QList<int>& states);
  void BuildInstallList(bool fromChosenStates);
  // Runs the install list on a worker thread, reporting to `sink`.
  void StartInstallRunner(IProgressSink& sink);
  void WaitForInstallRunner();

  // Hands `url` to the desktop's browser through a ".url" shortcut.
  static bool OpenUrlViaShortcut(const QString& url);

  int ChosenStateFor(int index, bool checked) const;
  void RedetectAll();
  void SetDownloadFolder(const QString& folder);
  bool HasPendingWork() const;
  bool MandatoryDone() const;
  bool AnyOpenSite() const;
  bool AnyInstall() const;

  // Where the download engine puts the file of prerequisite `index`.
  QString downloadedFileFor(int index) const;

  int count() const { return int(baseStates.size()); }
  bool isMandatory(int index) const;
  int pendingMandatoryCount() const { return pendingMandatory_; }
  CBootstrapConfig& config() { return config_; }
  CPayloadArchive& archive() { return archive_; }
  CDownloadQueue& queue() { return queue_; }
  QList<InstallItem>& installList() { return installList_; }
  // A folder from which a prerequisite could not run because its file system
  // forbids running programs; empty when none.
  QString blockedFolder() const { return blockedFolder_; }

  QList<int> chosenStates;
  QList<int> baseStates;

 private:
  DownloadJobRecord downloadRecordFor(int index) const;
  int downloadFault(int index) const;
  bool downloadIsComplete(int index) const;
  void refreshDownloadedFiles();
  void countPendingMandatory();
  int forcedState(int index) const;
  int checkDownload(int index);
  void discardDownload(const QString& path) const;
  bool addInstallItem(int index, int state);
  void runInstallItem(InstallItem& item);
  void runInstallList(IProgressSink& sink);

  CBootstrapConfig& config_;
  CPayloadArchive& archive_;
  CDownloadQueue queue_;
  QList<InstallItem> installList_;
  QString blockedFolder_;
  int pendingMandatory_ = 0;
  std::thread installRunner_;
};
