#pragma once

#include <QDialog>
#include <atomic>
#include <thread>

#include "ExtractFilesArgs.h"

class QLabel;
class QProgressBar;

// The progress dialog of the carried decompressor: the decompressor runs on a
// worker thread and reports here; Cancel only raises the flag it polls, and the
// dialog stays until the decompressor returns.
class CExtractProgressDlg : public QDialog, public IExtractProgress {
  Q_OBJECT

 public:
  CExtractProgressDlg(ExtractFilesFunction extractFiles, const ExtractFilesArgs& args, const QString& title,
                      QWidget* parent = nullptr);
  ~CExtractProgressDlg() override;

  // Shows the dialog modally until the decompressor returns: -1 when the user
  // pressed Cancel, else the value the decompressor gave.
  int run();

  // Called on the worker thread by the decompressor.
  void begin(uint32_t total) override;
  int step(uint32_t position) override;
  int cancelled() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void startWorker();
  void finish();
  int scaled(uint32_t value) const { return int(value >> m_shift); }

  ExtractFilesFunction m_extractFiles;
  ExtractFilesArgs m_args;
  QLabel* m_status;
  QProgressBar* m_progress;
  std::thread m_worker;
  std::atomic<bool> m_cancel{false};
  std::atomic<int> m_shift{0};
  int m_result = 0;
  bool m_started = false;
};
