#include "PrinterEmulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <chrono>

struct PrinterEmulator::Connection {
  int fd = -1;
  QByteArray data;
  qint64 count = 0;
  bool answered = false;
  bool closed = false;
  QElapsedTimer since;
};

namespace {
constexpr int kPollMs = 10;
constexpr int kReadSize = 65536;
}  // namespace

PrinterEmulator::PrinterEmulator() : PrinterEmulator(Options{}) {}

PrinterEmulator::PrinterEmulator(Options options) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (options.receiveBuffer > 0)
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options.receiveBuffer, sizeof options.receiveBuffer);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::listen(fd, 16);
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  listener_ = fd;
  thread_ = std::thread([this] { serve(); });
}

PrinterEmulator::~PrinterEmulator() {
  stop_ = true;
  thread_.join();
  for (auto& c : connections_)
    if (c->fd >= 0) ::close(c->fd);
  if (listener_ >= 0) ::close(listener_);
}

void PrinterEmulator::setReplies(QList<ReplyFragment> fragments, QByteArray trigger) {
  std::lock_guard lock(mutex_);
  replies_ = std::move(fragments);
  trigger_ = std::move(trigger);
}

QList<ReplyFragment> PrinterEmulator::fixture(const QString& relativePath, int pieceSize, int delayMs) {
  const QString root = qEnvironmentVariable("KVT_TEST_DATA");
  QFile file(root + QLatin1Char('/') + relativePath);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray all = file.readAll();
  if (pieceSize <= 0) return {{all, delayMs}};
  QList<ReplyFragment> pieces;
  for (qsizetype at = 0; at < all.size(); at += pieceSize) pieces.append({all.mid(at, pieceSize), delayMs});
  return pieces;
}

void PrinterEmulator::refuseConnections() {
  refuse_ = true;
  while (listener_ >= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int PrinterEmulator::connectionCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(connections_.size());
}

QByteArray PrinterEmulator::received(int connection) const {
  std::lock_guard lock(mutex_);
  return connection < static_cast<int>(connections_.size()) ? connections_[connection]->data : QByteArray();
}

qint64 PrinterEmulator::bytesReceived(int connection) const {
  std::lock_guard lock(mutex_);
  return connection < static_cast<int>(connections_.size()) ? connections_[connection]->count : 0;
}

bool PrinterEmulator::closed(int connection) const {
  std::lock_guard lock(mutex_);
  return connection < static_cast<int>(connections_.size()) && connections_[connection]->closed;
}

bool PrinterEmulator::waitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
  return true;
}

void PrinterEmulator::serve() {
  while (!stop_) {
    if (refuse_ && listener_ >= 0) {
      ::close(listener_);
      held_ = std::make_unique<RefusingPort>(port_);
      listener_ = -1;
    }
    std::vector<pollfd> fds;
    if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
    for (auto& c : connections_)
      if (!c->closed) fds.push_back({c->fd, static_cast<short>(readAllowance(*c) > 0 ? POLLIN : 0), 0});
    ::poll(fds.data(), fds.size(), kPollMs);
    if (listener_ >= 0 && (fds[0].revents & POLLIN)) acceptOne();
    for (auto& c : connections_)
      if (!c->closed) serveConnection(*c);
  }
}

void PrinterEmulator::acceptOne() {
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  auto connection = std::make_unique<Connection>();
  connection->fd = fd;
  connection->since.start();
  std::lock_guard lock(mutex_);
  connections_.push_back(std::move(connection));
}

// How much may be read now: nothing while reading is off or the rate is used up.
qint64 PrinterEmulator::readAllowance(const Connection& c) const {
  if (!reading_) return 0;
  qint64 want = kReadSize;
  if (readRate_ > 0) want = qMin(want, readRate_ * c.since.elapsed() / 1000 - c.count);
  if (closeAfter_ >= 0) want = qMin(want, closeAfter_ - c.count);
  return want;
}

void PrinterEmulator::serveConnection(Connection& c) {
  for (;;) {
    const qint64 want = readAllowance(c);
    if (want <= 0) break;
    char buffer[kReadSize];
    const ssize_t n = ::recv(c.fd, buffer, static_cast<size_t>(want), 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      closeConnection(c);
      return;
    }
    if (n < 0) break;
    std::lock_guard lock(mutex_);
    c.count += n;
    if (recording_ || !trigger_.isEmpty()) c.data.append(buffer, n);
  }
  if (closeAfter_ >= 0 && c.count >= closeAfter_) {
    closeConnection(c);
    return;
  }
  reply(c);
}

void PrinterEmulator::reply(Connection& c) {
  QList<ReplyFragment> fragments;
  {
    std::lock_guard lock(mutex_);
    if (c.answered || replies_.isEmpty() || !c.data.contains(trigger_)) return;
    c.answered = true;
    fragments = replies_;
  }
  for (const ReplyFragment& fragment : fragments) {
    if (stop_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(fragment.delayMs));
    qsizetype sent = 0;
    while (sent < fragment.bytes.size() && !stop_) {
      const ssize_t n = ::send(c.fd, fragment.bytes.constData() + sent,
                               static_cast<size_t>(fragment.bytes.size() - sent), MSG_NOSIGNAL);
      if (n > 0) {
        sent += n;
      } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        pollfd p{c.fd, POLLOUT, 0};
        ::poll(&p, 1, kPollMs);
      } else {
        return;
      }
    }
  }
}

void PrinterEmulator::closeConnection(Connection& c) {
  std::lock_guard lock(mutex_);
  ::close(c.fd);
  c.fd = -1;
  c.closed = true;
}
