#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTimer;

// The asynchronous socket control: a non-blocking IPv4/IPv6 TCP client. Data
// offered to WriteBytes is either taken by the kernel at once or not at all;
// nothing is kept back in user space, and Write is raised when the socket can
// take more.
class SocketWrenchCtrl : public QObject {
  Q_OBJECT
 public:
  static constexpr int StateNotConnected = 0;
  static constexpr int StateConnecting = 3;
  static constexpr int StateConnected = 6;
  static constexpr int ActionDisconnect = 7;

  explicit SocketWrenchCtrl(QObject* parent = nullptr);
  ~SocketWrenchCtrl() override;

  void setHostName(const QString& hostName) { hostName_ = hostName; }
  QString HostName() const { return hostName_; }
  void setRemotePort(int port) { remotePort_ = port; }
  int RemotePort() const { return remotePort_; }
  // Milliseconds a connection attempt may take before Timeout is raised; 0 waits for ever.
  void setTimeout(int milliseconds) { timeout_ = milliseconds; }

  // Starts connecting; 0 when the attempt is under way (or already done), else an errno value.
  int Connect();
  int State() const { return state_; }

  // Offers `len` bytes; 0 unless the socket failed (then an errno value).
  // SendLen tells how many the kernel accepted, 0 when it takes nothing now.
  int WriteBytes(const char* data, int len);
  int SendLen() const { return sendLen_; }
  // Bytes written that the peer has not taken yet (in flight or still queued); -1 when unknown.
  int QueuedBytes() const;

  // Reads up to `length` bytes into `buffer` (replacing it); the count, or -1 on failure.
  int Read(QByteArray& buffer, int length);

  // 7 closes the connection.
  void setAction(int action);

 signals:
  void Disconnect();
  void Read(int DataLength, int IsUrgent);
  void Timeout(int status, const QString& Response);
  // The control's own interval timer; this stand-in never arms it.
  void Timer();
  void Write();

 private:
  bool resolve(QByteArray& address, int& family) const;
  void onWritable();
  void onReadable();
  void finishConnecting();
  void closeSocket();

  QString hostName_;
  int remotePort_ = 0;
  int timeout_ = 0;
  int fd_ = -1;
  int state_ = StateNotConnected;
  int sendLen_ = 0;
  std::unique_ptr<QSocketNotifier> readNotifier_;
  std::unique_ptr<QSocketNotifier> writeNotifier_;
  std::unique_ptr<QTimer> connectTimer_;
};
