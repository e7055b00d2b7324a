#pragma once

#include <QObject>
#include <QTimer>

// The timer component: one-shot (EventType 0) or periodic (EventType 1),
// raising Timer with its interval while enabled.
class ccrpTimer : public QObject {
  Q_OBJECT
 public:
  static constexpr int TimerOneShot = 0;
  static constexpr int TimerPeriodic = 1;

  explicit ccrpTimer(QObject* parent = nullptr);

  bool Enabled() const { return timer_.isActive(); }
  // Enabling a running timer leaves it running; enabling a stopped one starts a full interval.
  void setEnabled(bool enabled);
  int EventType() const { return eventType_; }
  void setEventType(int eventType);
  int Interval() const { return timer_.interval(); }
  void setInterval(int milliseconds);

 signals:
  void Timer(int Milliseconds);

 private:
  QTimer timer_;
  int eventType_ = TimerPeriodic;
};
