#pragma once

#include <curl/curl.h>

#include <QByteArrayList>
#include <QString>

// One request through libcurl, driven in steps of at most 10 ms so that the
// caller can stop it between steps. Redirects are not followed here.
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
  };

  explicit CurlTransfer(const Request& request);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // CURLE_ABORTED_BY_CALLBACK when the sink asked to stop between steps.
  CURLcode perform(Sink& sink);

  long responseCode() const;
  qint64 contentLength() const;  // -1 when not announced
  QByteArray header(const char* name) const;
  QString redirectUrl() const;
  qint64 fileTime() const;  // seconds since 1970, -1 when unknown
  // The server's last status line (HTTP) or reply line (FTP).
  QString responseText() const { return m_responseText; }
  // The certificate chain failed only because its authority is not trusted.
  bool untrustedAuthority() const;

 private:
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static CURLcode onSslContext(CURL* easy, void* sslContext, void* self);
  void applyTls(const Request& request);

  CURL* m_easy = nullptr;
  curl_slist* m_headers = nullptr;
  Sink* m_sink = nullptr;
  QString m_responseText;
};
