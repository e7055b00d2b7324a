#pragma once

#include <QStringList>
#include <atomic>

#include "CPrereqWizardPage.h"
#include "IProgressSink.h"

class QCheckBox;
class QLabel;
class QTreeWidget;

// Runs the chosen setup programs one after another and shows how each ended.
// The runner reports on its own thread; everything it says reaches the page queued.
class CInstallPage : public CPrereqWizardPage, private IProgressSink {
  Q_OBJECT

 public:
  explicit CInstallPage(CPrereqWizard& wizard);
  // Waits for the runner, which stops before its next item.
  ~CInstallPage() override;

  void onSetActive() override;
  int onWizBack() override { return CPrereqWizard::PrerequisitesPage; }
  void onQueryCancel() override { cancel_ = true; }

 private:
  // Sink calls, on the runner's thread.
  void begin(int) override {}
  void start(int) override {}
  void finished() override;
  void status(const QString& text) override;
  void itemSucceeded() override;
  bool isCancelled() override { return cancel_; }
  void itemFailed(int error) override;

  void showRunning(int row);
  void showResult(int row, const QString& text);
  void runEnded();
  void showIcon(bool error);

  QTreeWidget* list_;
  QLabel* text_;
  QLabel* icon_;
  QCheckBox* autoFinish_;
  QStringList paths_;  // of each row, taken before the runner starts
  int failures_ = 0;
  // Counted on the runner's thread: the item it is at.
  int runnerRow_ = -1;
  std::atomic<bool> cancel_{false};
};
