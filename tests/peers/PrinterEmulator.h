#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "RefusingPort.h"

// A piece of the printer's answer, sent after a pause.
struct ReplyFragment {
  QByteArray bytes;
  int delayMs = 0;
};

// A printer controller on 127.0.0.1, on a port the OS picks, served by a
// thread of its own so that it keeps going while the test pumps events.
// It records every byte each connection sends and, once a connection has
// sent the trigger, answers with the reply fragments.
class PrinterEmulator {
 public:
  struct Options {
    // SO_RCVBUF of accepted connections (0: the system's); small makes a full socket quickly.
    int receiveBuffer = 0;
  };

  PrinterEmulator();
  explicit PrinterEmulator(Options options);
  ~PrinterEmulator();
  PrinterEmulator(const PrinterEmulator&) = delete;
  PrinterEmulator& operator=(const PrinterEmulator&) = delete;

  quint16 port() const { return port_; }

  // Answer every connection with `fragments` once it has sent `trigger`
  // (at once on accepting when the trigger is empty). No fragments: never answer.
  void setReplies(QList<ReplyFragment> fragments, QByteArray trigger = "@PJL INFO ID\r\n");
  // The bytes of a fixture under tests/data, cut into pieces of `pieceSize`
  // (0: one piece), each sent after `delayMs`.
  static QList<ReplyFragment> fixture(const QString& relativePath, int pieceSize = 0, int delayMs = 0);

  // Closes the listener (returns once it is closed): later connections are
  // refused, and the port stays held so that no other program answers on it.
  void refuseConnections();
  // While false, nothing is read: the client's socket fills up.
  void setReading(bool reading) { reading_ = reading; }
  // Reads at most this many bytes a second (0: as fast as they come).
  void setReadRate(qint64 bytesPerSecond) { readRate_ = bytesPerSecond; }
  // Closes each connection once it has received this many bytes (-1: never).
  void closeAfter(qint64 bytes) { closeAfter_ = bytes; }
  // Keeps the received bytes in memory (on by default); off only counts them.
  void setRecording(bool recording) { recording_ = recording; }

  int connectionCount() const;
  QByteArray received(int connection) const;
  qint64 bytesReceived(int connection) const;
  // The client has closed this connection, or the emulator did.
  bool closed(int connection) const;

  // Pumps the test's events until `condition` holds or `timeoutMs` passes.
  static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

 private:
  struct Connection;
  void serve();
  void acceptOne();
  qint64 readAllowance(const Connection& connection) const;
  void serveConnection(Connection& connection);
  void reply(Connection& connection);
  void closeConnection(Connection& connection);

  std::atomic<int> listener_{-1};
  std::unique_ptr<RefusingPort> held_;
  quint16 port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> refuse_{false};
  std::atomic<bool> reading_{true};
  std::atomic<qint64> readRate_{0};
  std::atomic<qint64> closeAfter_{-1};
  std::atomic<bool> recording_{true};
  mutable std::mutex mutex_;
  QList<ReplyFragment> replies_;
  QByteArray trigger_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::thread thread_;
};
