#pragma once

#include <curl/curl.h>

#include <QByteArrayList>
#include <QString>
#include <chrono>

// One request through libcurl, driven in steps of at most 10 ms so that the
// caller can stop it between steps. Redirects are not followed here. A server
// that sends nothing for a minute, while the sink is not paused, ends it.
class CurlTransfer {
 public:
  struct Request {
    QString url;
    QByteArrayList headers;      // complete header lines, without CR LF
    qint64 ftpResumeOffset = 0;  // sent as FTP's REST when above 0
    bool sizeOnly = false;       // ask for the size, fetch nothing
    bool queryFileTime = false;
    bool acceptUntrustedAuthority = false;  // the chain may end at an unknown authority
    QString proxy;                          // empty: the environment's settings
  };

  class Sink {
   public:
    virtual ~Sink() = default;
    // A piece of the body; false stops the transfer.
    virtual bool body(const char* data, size_t size) = 0;
    virtual bool stopRequested() = 0;
    // While paused, the time without a byte from the server does not count.
    virtual bool paused() = 0;
  };

  explicit CurlTransfer(const Request& request);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // CURLE_ABORTED_BY_CALLBACK when the sink asked to stop between steps;
  // CURLE_OPERATION_TIMEDOUT with stalled() when the server stopped sending.
  CURLcode perform(Sink& sink);
  bool stalled() const { return m_stalled; }

  // How long a transfer may go without a byte from the server; tests shorten it.
  static constexpr std::chrono::milliseconds kStallLimit{60000};
  static void setStallLimitForTests(std::chrono::milliseconds limit);

  long responseCode() const;
  qint64 contentLength() const;  // -1 when not announced
  QByteArray header(const char* name) const;
  QString redirectUrl() const;
  qint64 fileTime() const;  // seconds since 1970, -1 when unknown
  // The server's last status line (HTTP) or reply line (FTP).
  QString responseText() const { return m_responseText; }
  // The certificate chain failed only because its authority is not trusted.
  bool untrustedAuthority() const;
  // The system's errno behind the last failure of the connection, 0 when none.
  int systemErrno() const;

 private:
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static CURLcode onSslContext(CURL* easy, void* sslContext, void* self);
  void applyTls(const Request& request);
  bool stallsNow(std::chrono::steady_clock::time_point now);

  CURL* m_easy = nullptr;
  curl_slist* m_headers = nullptr;
  Sink* m_sink = nullptr;
  QString m_responseText;
  std::chrono::steady_clock::time_point m_lastByte;
  bool m_stalled = false;
};
