#include "ccrpTimer.h"

ccrpTimer::ccrpTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (eventType_ == TimerOneShot) timer_.stop();
    emit Timer(timer_.interval());
  });
}

void ccrpTimer::setEnabled(bool enabled) {
  if (!enabled)
    timer_.stop();
  else if (!timer_.isActive())
    timer_.start();
}

void ccrpTimer::setEventType(int eventType) { eventType_ = eventType; }

void ccrpTimer::setInterval(int milliseconds) { timer_.setInterval(milliseconds); }
