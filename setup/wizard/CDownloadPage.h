#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>

#include "CDownloadJob.h"
#include "CPrereqWizardPage.h"
#include "IDownloadObserver.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// Downloads the queued prerequisites one after another, with the progress of
// the current file and of all files, speed, remaining time and pause. The job
// reports on its own thread; everything it says reaches the page queued.
class CDownloadPage : public CPrereqWizardPage, private IDownloadObserver {
  Q_OBJECT

 public:
  explicit CDownloadPage(CPrereqWizard& wizard);
  ~CDownloadPage() override;

  void onSetActive() override;
  int onWizBack() override;
  void onQueryCancel() override;

  // How often in a row a transfer may close early without getting further.
  static constexpr int kMaxRetries = 3;

  // "5 min 3 sec at 100 KB/sec" for `bytesLeft` at `speed` bytes a second; empty at no speed.
  static QString remainingTimeText(qint64 speed, qint64 bytesLeft);
  // `done` of `total` in whole percent, 0 to 100.
  static int percentOf(qint64 done, qint64 total);

 private:
  // Observer calls, on the job's thread.
  void started(qint64 totalSize, const QString& targetPath) override;
  void finished() override;
  void progress(qint64 bytes) override;
  bool isCancelled() override { return stop_; }
  bool isPaused() override { return paused_; }
  void error(int reserved, std::uint32_t code) override;

  template <typename Work>
  void toInterface(Work work);

  // The same, on the interface thread.
  void jobStarted(qint64 total);
  void jobProgress(qint64 bytes);
  void jobFinished(qint64 size, bool md5Good);
  void jobError(std::uint32_t code);

  void fill();
  bool sameQueueAsBefore() const;
  void stopJob();
  void startJob();
  void retryJob();
  void endJob();
  void allDone();
  void failRow(std::uint32_t status, const QString& text);
  void tick();
  void togglePause();
  void setPaused(bool paused);
  void updateTexts();
  void showBars();
  QTreeWidgetItem* currentItem() const;
  QString currentName() const;

  QTreeWidget* list_;
  QProgressBar* fileBar_;
  QProgressBar* allBar_;
  QPushButton* pause_;
  QLabel* fileText_;
  QLabel* overallText_;
  QLabel* speedText_;
  QLabel* savingTo_;
  QCheckBox* autoInstall_;
  QTimer* timer_;

  CDownloadJob job_;
  QList<int> queued_;  // prerequisite index of each row
  int row_ = -1;
  int startRow_ = -1;
  qint64 total_ = 0;
  qint64 overallDone_ = 0;
  qint64 fileSize_ = 0;
  qint64 fileDone_ = 0;
  qint64 baseline_ = 0;
  qint64 seconds_ = 0;
  bool firstProgress_ = true;
  bool fileComplete_ = false;
  bool running_ = false;
  bool leftWithBack_ = false;
  bool pausedBeforeBack_ = false;
  bool closing_ = false;
  int failures_ = 0;
  qint64 bestReached_ = 0;
  int retriesWithoutProgress_ = 0;

  // Read by the job's thread; set before each job starts.
  std::atomic<int> generation_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  qint64 expectedSize_ = 0;
  QByteArray md5_;
  QString downloadFolder_;
  QString queueFolder_;
  // Written by the job's thread only.
  qint64 reportedTotal_ = 0;
  QString targetPath_;
};
