#pragma once

#include <QObject>
#include <atomic>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP ask the run to stop, as Cancel does. The handler
// only writes the signal's number into a pipe; the pipe wakes the event loop,
// which raises the flag and emits `stopRequested`. One instance at a time.
class StopSignals : public QObject {
  Q_OBJECT

 public:
  StopSignals();
  // Gives the signals back their default handling.
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // True once one of the signals came. Reads the pipe itself, so that it
  // answers also after a step that kept the event loop from running.
  bool received();
  // Raised on the user-interface thread when a signal came; workers poll it.
  const std::atomic<bool>& flag() const { return received_; }

 signals:
  void stopRequested();

 private:
  void drain();

  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  std::atomic<bool> received_{false};
};
