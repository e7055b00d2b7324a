#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "mosSafeArray.h"

class SocketWrenchCtrl;
class ccrpTimer;

// Lets pending events run, then sleeps 20 ms: one round of every wait on the
// user-interface thread.
void PumpEvents();

// The TCP client of a printer: connects within a time limit, sends a caller's
// array in chunks as fast as the socket takes them, and hands on what the
// printer sends one form-feed-ended message at a time.
class clsServerCon : public QObject {
  Q_OBJECT
 public:
  static constexpr int ConnectLimitMs = 20000;
  static constexpr qint32 ChunkSize = 16384;
  // Bytes received without a form feed before the connection is given up.
  static constexpr qsizetype ReceiveCap = 1024 * 1024;

  explicit clsServerCon(QObject* parent = nullptr);
  ~clsServerCon() override;

  // A send is in progress.
  bool sending = false;
  // Outcome of the last send.
  bool sendSuccess = false;

  // A socket control is held (from connect until disconnect).
  bool connected() const;
  // True when the connection is up. Ports 1 to 65535.
  bool connect(const QString& addr, int port);
  // Sends the first `length` bytes of `bData` (all of them for 0 or a length past its end).
  // `bData` must stay alive and unchanged while `sending` is true.
  void send(const QByteArray& bData, qint32 length);
  void stopSend();
  void disconnect();

  // How long connect waits; tests shorten it.
  void setConnectLimit(int milliseconds) { connectLimit_ = milliseconds; }
  // A send that gets no byte accepted for this long gives the connection up; 0
  // (the default) waits as long as it takes.
  void setStallLimit(int milliseconds);

 signals:
  void ProcessResult(const QString& result);
  // The connection ended without being asked to: the peer closed it, it failed,
  // or it was given up after too many bytes without a form feed.
  void ConnectionLost();

 private:
  void writeData();
  void readData();
  void serverCon_Disconnect();
  void serverCon_Read();
  void serverCon_Timeout();
  void serverCon_Timer();
  void serverCon_Write();
  void tmr_Timer();
  void stallTmr_Timer();
  void watchForStall();
  void releaseControl();
  void lose();

  QPointer<SocketWrenchCtrl> serverCon;
  std::unique_ptr<ccrpTimer> tmr;
  std::unique_ptr<ccrpTimer> stallTmr;
  int connectLimit_ = ConnectLimitMs;
  int stallLimit_ = 0;
  // What the printer had taken when last seen to take something, and when that was.
  qint32 lastAccepted_ = 0;
  int lastQueued_ = -1;
  QElapsedTimer sinceProgress_;
  bool abort_ = false;
  const QByteArray* data_ = nullptr;
  qint32 total_ = 0;
  qint32 accepted_ = 0;
  qint32 chunkLen_ = 0;
  ByteView chunk_;
  QByteArray received_;
};
