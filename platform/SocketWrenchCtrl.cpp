#include "SocketWrenchCtrl.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>

SocketWrenchCtrl::SocketWrenchCtrl(QObject* parent) : QObject(parent) {}

SocketWrenchCtrl::~SocketWrenchCtrl() { closeSocket(); }

// A literal address is taken as it stands; a host name is resolved here, blocking.
bool SocketWrenchCtrl::resolve(QByteArray& address, int& family) const {
  QHostAddress host;
  if (!host.setAddress(hostName_)) {
    const QHostInfo info = QHostInfo::fromName(hostName_);
    if (info.addresses().isEmpty()) return false;
    host = info.addresses().constFirst();
  }
  if (host.protocol() == QAbstractSocket::IPv4Protocol) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<quint16>(remotePort_));
    sa.sin_addr.s_addr = htonl(host.toIPv4Address());
    address = QByteArray(reinterpret_cast<const char*>(&sa), sizeof sa);
    family = AF_INET;
    return true;
  }
  sockaddr_in6 sa{};
  sa.sin6_family = AF_INET6;
  sa.sin6_port = htons(static_cast<quint16>(remotePort_));
  const Q_IPV6ADDR ip6 = host.toIPv6Address();
  memcpy(&sa.sin6_addr, &ip6, sizeof ip6);
  sa.sin6_scope_id = host.scopeId().toUInt();
  address = QByteArray(reinterpret_cast<const char*>(&sa), sizeof sa);
  family = AF_INET6;
  return true;
}

int SocketWrenchCtrl::Connect() {
  if (fd_ >= 0) return 0;
  if (remotePort_ < 1 || remotePort_ > 65535) return EINVAL;
  QByteArray address;
  int family = 0;
  if (!resolve(address, family)) return EHOSTUNREACH;
  fd_ = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return errno;
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(address.constData()),
                static_cast<socklen_t>(address.size())) != 0 &&
      errno != EINPROGRESS) {
    const int error = errno;
    closeSocket();
    return error;
  }
  state_ = StateConnecting;
  readNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  readNotifier_->setEnabled(false);
  connect(readNotifier_.get(), &QSocketNotifier::activated, this, &SocketWrenchCtrl::onReadable);
  writeNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
  connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &SocketWrenchCtrl::onWritable);
  if (timeout_ > 0) {
    connectTimer_ = std::make_unique<QTimer>();
    connectTimer_->setSingleShot(true);
    connect(connectTimer_.get(), &QTimer::timeout, this, [this] {
      if (state_ == StateConnecting) emit Timeout(0, QString());
    });
    connectTimer_->start(timeout_);
  }
  return 0;
}

void SocketWrenchCtrl::finishConnecting() {
  if (connectTimer_) connectTimer_->stop();
  int error = 0;
  socklen_t len = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
    closeSocket();
    return;
  }
  state_ = StateConnected;
  writeNotifier_->setEnabled(false);
  readNotifier_->setEnabled(true);
}

void SocketWrenchCtrl::onWritable() {
  if (state_ == StateConnecting) {
    finishConnecting();
    return;
  }
  writeNotifier_->setEnabled(false);
  emit Write();
}

void SocketWrenchCtrl::onReadable() {
  int available = 0;
  if (::ioctl(fd_, FIONREAD, &available) != 0) available = 0;
  if (available > 0) {
    emit Read(available, 0);
    return;
  }
  char probe;
  const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK);
  if (n > 0) {
    emit Read(1, 0);
  } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
    readNotifier_->setEnabled(false);
    emit Disconnect();
  }
}

int SocketWrenchCtrl::WriteBytes(const char* data, int len) {
  sendLen_ = 0;
  if (state_ != StateConnected) return ENOTCONN;
  if (len <= 0) return 0;
  const ssize_t n = ::send(fd_, data, static_cast<size_t>(len), MSG_NOSIGNAL);
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return errno;
  } else {
    sendLen_ = static_cast<int>(n);
  }
  if (sendLen_ < len) writeNotifier_->setEnabled(true);
  return 0;
}

int SocketWrenchCtrl::QueuedBytes() const {
  int queued = 0;
  if (state_ != StateConnected || ::ioctl(fd_, SIOCOUTQ, &queued) != 0) return -1;
  return queued;
}

int SocketWrenchCtrl::Read(QByteArray& buffer, int length) {
  buffer.clear();
  if (state_ != StateConnected || length <= 0) return -1;
  buffer.resize(length);
  const ssize_t n = ::recv(fd_, buffer.data(), static_cast<size_t>(length), 0);
  buffer.resize(n > 0 ? n : 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  return n < 0 ? -1 : static_cast<int>(n);
}

void SocketWrenchCtrl::setAction(int action) {
  if (action == ActionDisconnect) closeSocket();
}

// The notifiers and the timer may be the very senders whose signal led here.
template <typename T>
static void dropLater(std::unique_ptr<T>& object) {
  if (!object) return;
  object->blockSignals(true);
  object.release()->deleteLater();
}

void SocketWrenchCtrl::closeSocket() {
  if (readNotifier_) readNotifier_->setEnabled(false);
  if (writeNotifier_) writeNotifier_->setEnabled(false);
  dropLater(connectTimer_);
  dropLater(readNotifier_);
  dropLater(writeNotifier_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  state_ = StateNotConnected;
}
