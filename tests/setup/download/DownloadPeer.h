#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <mutex>

#include "CurlTransfer.h"
#include "IDownloadObserver.h"

// A Python test peer from tests/peers on 127.0.0.1, on the port it chose; it
// ends with the test (and by itself after a time limit).
class DownloadPeer {
 public:
  DownloadPeer(const QString& script, const QStringList& arguments);
  ~DownloadPeer();
  static DownloadPeer* http(const QString& root, const QStringList& more = {});

  int port() const { return m_port; }
  // "<scheme>://127.0.0.1:<port>/<path>"
  QString url(const QString& scheme, const QString& path) const;

 private:
  QProcess m_process;
  int m_port = 0;
};

// Cuts the minute a transfer waits for a silent server short while it lives.
class ShortStallLimit {
 public:
  static constexpr std::chrono::milliseconds kLimit{500};
  ShortStallLimit() { CurlTransfer::setStallLimitForTests(kLimit); }
  ~ShortStallLimit() { CurlTransfer::setStallLimitForTests(CurlTransfer::kStallLimit); }
  ShortStallLimit(const ShortStallLimit&) = delete;
  ShortStallLimit& operator=(const ShortStallLimit&) = delete;
};

namespace DownloadFixture {

// Reproducible bytes that differ at every offset that matters to a test.
QByteArray content(int size, quint32 seed = 1);
void writeFile(const QString& path, const QByteArray& data);
QByteArray readFile(const QString& path);

// A test authority and a server certificate it signed for `subjectAltName`
// ("IP:127.0.0.1" or "DNS:..."), made with the openssl program in `folder`:
// ca.pem, server.pem, server.key.
bool makeCertificates(const QString& folder, const QString& subjectAltName);

}  // namespace DownloadFixture

// Records every call a job makes, and pauses or cancels it on request.
class RecordingObserver : public IDownloadObserver {
 public:
  void started(qint64 totalSize, const QString& targetPath) override;
  void finished() override;
  void status(int code) override;
  void progress(qint64 bytes) override;
  bool isCancelled() override;
  bool isPaused() override { return pause; }
  void error(int reserved, std::uint32_t code) override;

  QStringList calls() const;
  qint64 progressSum() const { return m_progressSum; }

  std::atomic<bool> pause{false};
  std::atomic<bool> cancel{false};
  // Cancels once progress passed this many bytes (-1: never).
  std::atomic<qint64> cancelAfter{-1};

 private:
  void record(const QString& call);
  mutable std::mutex m_lock;
  QStringList m_calls;
  std::atomic<qint64> m_progressSum{0};
};
