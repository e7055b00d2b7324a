#pragma once

#include <QDialog>
#include <atomic>
#include <thread>

#include "IProgressSink.h"

class CPrerequisiteSet;
class QLabel;
class QProgressBar;

// The unattended progress dialog: the prerequisite passes run on a worker
// thread and report here. Cancel ends the dialog at once; the worker stops
// before its next item and is waited for before the dialog goes.
class CPrereqProgressDlg : public QDialog, public IProgressSink {
  Q_OBJECT

 public:
  CPrereqProgressDlg(CPrerequisiteSet& set, const QString& caption, QWidget* parent = nullptr);
  ~CPrereqProgressDlg() override;

  // Shows the dialog modally until the passes end (1) or the user cancels (2),
  // and returns once the worker has stopped.
  int run();

  // Called on the worker thread.
  void begin(int total) override;
  void start(int count) override;
  void finished() override;
  void status(const QString& text) override;
  void itemSucceeded() override;
  bool isCancelled() override;
  void itemFailed(int error) override;
  // Without a display nobody sees the dialog: failures go to standard error.
  bool watched() const override { return seen_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void waitForWorker();

  CPrerequisiteSet& set_;
  QLabel* status_;
  QProgressBar* progress_;
  std::thread worker_;
  const bool seen_;
  std::atomic<bool> cancel_{false};
  int steps_ = 0;
};
