#include "clsServerCon.h"

#include <QCoreApplication>
#include <QThread>

#include "Ansi.h"
#include "SocketWrenchCtrl.h"
#include "ccrpTimer.h"
#include "modLumasetCommon.h"

void PumpEvents() {
  QCoreApplication::processEvents();
  QThread::msleep(20);
}

clsServerCon::clsServerCon(QObject* parent)
    : QObject(parent), tmr(std::make_unique<ccrpTimer>()), stallTmr(std::make_unique<ccrpTimer>()) {
  QObject::connect(tmr.get(), &ccrpTimer::Timer, this, &clsServerCon::tmr_Timer);
  stallTmr->setEventType(ccrpTimer::TimerPeriodic);
  QObject::connect(stallTmr.get(), &ccrpTimer::Timer, this, &clsServerCon::stallTmr_Timer);
}

clsServerCon::~clsServerCon() { disconnect(); }

bool clsServerCon::connected() const { return !serverCon.isNull(); }

bool clsServerCon::connect(const QString& addr, int port) {
  if (connected()) disconnect();
  received_.clear();
  if (port < 1 || port > 65535) return false;

  serverCon = new SocketWrenchCtrl();
  serverCon->setTimeout(connectLimit_);
  serverCon->setHostName(addr);
  serverCon->setRemotePort(port);
  QObject::connect(serverCon, &SocketWrenchCtrl::Disconnect, this, &clsServerCon::serverCon_Disconnect);
  QObject::connect(serverCon, qOverload<int, int>(&SocketWrenchCtrl::Read), this,
                   &clsServerCon::serverCon_Read);
  QObject::connect(serverCon, &SocketWrenchCtrl::Timeout, this, &clsServerCon::serverCon_Timeout);
  QObject::connect(serverCon, &SocketWrenchCtrl::Timer, this, &clsServerCon::serverCon_Timer);
  QObject::connect(serverCon, &SocketWrenchCtrl::Write, this, &clsServerCon::serverCon_Write);

  tmr->setEventType(ccrpTimer::TimerOneShot);
  tmr->setInterval(connectLimit_);
  abort_ = false;
  tmr->setEnabled(true);

  bool result = serverCon->Connect() == 0;
  QCoreApplication::processEvents();
  while (serverCon && serverCon->State() == SocketWrenchCtrl::StateConnecting) {
    PumpEvents();
    if (abort_) {
      result = false;
      break;
    }
  }
  tmr->setEnabled(false);
  if (!serverCon || serverCon->State() == SocketWrenchCtrl::StateNotConnected) result = false;
  if (!result) disconnect();
  return result;
}

void clsServerCon::send(const QByteArray& bData, qint32 length) {
  sendSuccess = false;
  data_ = &bData;
  chunk_.goHome();
  total_ = (length == 0 || length > ArrayLength(bData)) ? ArrayLength(bData) : length;
  accepted_ = 0;
  if (total_ <= 0) return;
  sending = true;
  sendSuccess = true;
  watchForStall();
  writeData();
}

void clsServerCon::writeData() {
  int sendLen = 0;
  do {
    chunkLen_ = MinValue(ChunkSize, total_ - accepted_);
    chunk_.pointInto(*data_, accepted_, chunkLen_);
    const int error = serverCon ? serverCon->WriteBytes(chunk_.data(), chunk_.size()) : -1;
    sendLen = serverCon ? serverCon->SendLen() : 0;
    if (sendLen > 0) accepted_ += sendLen;
    if (error != 0) sendSuccess = false;
    if (!sendSuccess) stopSend();
    if (accepted_ == total_) {
      stopSend();
      sendSuccess = true;
    }
  } while (sending && sendLen >= 1);
  LogMessage(QStringLiteral("clsServerCon-writeData: Finishing writing loop. Sending: ") +
             (sending ? QStringLiteral("True") : QStringLiteral("False")));
}

void clsServerCon::stopSend() {
  stallTmr->setEnabled(false);
  abort_ = true;
  if (sending) sendSuccess = false;
  sending = false;
  chunk_.goHome();
  data_ = nullptr;
}

void clsServerCon::disconnect() {
  stopSend();
  releaseControl();
}

// The control may be the sender of the event that brought us here.
void clsServerCon::releaseControl() {
  if (!serverCon) return;
  SocketWrenchCtrl* control = serverCon;
  serverCon = nullptr;
  control->setAction(SocketWrenchCtrl::ActionDisconnect);
  QObject::disconnect(control, nullptr, this, nullptr);
  control->deleteLater();
}

void clsServerCon::readData() {
  QByteArray fresh;
  serverCon->Read(fresh, ChunkSize);
  received_.append(fresh);
  qsizetype p = received_.indexOf('\f');
  while (p >= 0 && serverCon) {
    const QByteArray message = received_.left(p);
    received_.remove(0, p + 1);
    emit ProcessResult(fromAnsi(message));
    p = received_.indexOf('\f');
  }
  if (received_.size() > ReceiveCap) {
    received_.clear();
    lose();
  }
}

void clsServerCon::lose() {
  const bool wasConnected = connected();
  disconnect();
  if (wasConnected) emit ConnectionLost();
}

void clsServerCon::serverCon_Disconnect() { lose(); }

void clsServerCon::serverCon_Read() {
  if (serverCon) readData();
}

void clsServerCon::serverCon_Timeout() { lose(); }

void clsServerCon::serverCon_Timer() { lose(); }

void clsServerCon::serverCon_Write() {
  if (sending) writeData();
}

void clsServerCon::tmr_Timer() {
  tmr->setEnabled(false);
  abort_ = true;
}

void clsServerCon::setStallLimit(int milliseconds) {
  stallLimit_ = qMax(0, milliseconds);
  watchForStall();
}

// Looked at a few times within the limit (at least once a second): the printer has
// taken something when the socket took more, or when less waits in it for the printer.
void clsServerCon::watchForStall() {
  stallTmr->setEnabled(false);
  if (!sending || stallLimit_ == 0) return;
  lastAccepted_ = accepted_;
  lastQueued_ = serverCon ? serverCon->QueuedBytes() : -1;
  sinceProgress_.start();
  stallTmr->setInterval(qBound(10, stallLimit_ / 10, 1000));
  stallTmr->setEnabled(true);
}

void clsServerCon::stallTmr_Timer() {
  if (!sending || !serverCon) {
    stallTmr->setEnabled(false);
    return;
  }
  const int queued = serverCon->QueuedBytes();
  if (accepted_ != lastAccepted_ || queued < lastQueued_) sinceProgress_.start();
  lastAccepted_ = accepted_;
  lastQueued_ = queued;
  if (sinceProgress_.elapsed() < stallLimit_) return;
  LogMessage(QStringLiteral("clsServerCon-send: No byte accepted for ") + QString::number(stallLimit_) +
             QStringLiteral(" ms. Closing the connection."));
  lose();
}
