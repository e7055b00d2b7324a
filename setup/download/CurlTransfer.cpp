#include "CurlTransfer.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <atomic>

namespace {

constexpr long kBufferSize = 100 * 1024;
constexpr long kConnectTimeoutSeconds = 60;
constexpr int kStepMilliseconds = 10;

std::atomic<std::chrono::milliseconds::rep> stallLimit{CurlTransfer::kStallLimit.count()};

bool isUnknownAuthority(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return true;
    default:
      return false;
  }
}

// Lets an unknown authority pass once the user accepted it; dates, signatures
// and every other check still fail the chain. The host name is checked by libcurl.
int verifyAcceptingUnknownAuthority(int preverified, X509_STORE_CTX* context) {
  if (preverified) return 1;
  if (!isUnknownAuthority(X509_STORE_CTX_get_error(context))) return 0;
  X509_STORE_CTX_set_error(context, X509_V_OK);
  return 1;
}

curl_slist* headerList(const QByteArrayList& lines) {
  curl_slist* list = nullptr;
  for (const QByteArray& line : lines) list = curl_slist_append(list, line.constData());
  return list;
}

}  // namespace

CurlTransfer::CurlTransfer(const Request& request) : m_easy(curl_easy_init()) {
  if (!m_easy) return;
  m_headers = headerList(request.headers);
  curl_easy_setopt(m_easy, CURLOPT_URL, request.url.toUtf8().constData());
  curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp,gopher");
  curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(m_easy, CURLOPT_USERAGENT, "Ostrevan");
  curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
  curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, kBufferSize);
  curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
  curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
  curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
  if (request.ftpResumeOffset > 0)
    curl_easy_setopt(m_easy, CURLOPT_RESUME_FROM_LARGE, curl_off_t(request.ftpResumeOffset));
  if (request.sizeOnly) curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
  if (request.queryFileTime) curl_easy_setopt(m_easy, CURLOPT_FILETIME, 1L);
  if (!request.proxy.isEmpty()) curl_easy_setopt(m_easy, CURLOPT_PROXY, request.proxy.toUtf8().constData());
  applyTls(request);
}

CurlTransfer::~CurlTransfer() {
  if (m_easy) curl_easy_cleanup(m_easy);
  curl_slist_free_all(m_headers);
}

// Full verification always; the trusted authorities are the system's, or those
// named by SSL_CERT_FILE and SSL_CERT_DIR as OpenSSL and the curl program read them.
void CurlTransfer::applyTls(const Request& request) {
  curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYHOST, 2L);
  const QByteArray caFile = qgetenv("SSL_CERT_FILE");
  const QByteArray caDir = qgetenv("SSL_CERT_DIR");
  if (!caFile.isEmpty()) curl_easy_setopt(m_easy, CURLOPT_CAINFO, caFile.constData());
  if (!caDir.isEmpty()) curl_easy_setopt(m_easy, CURLOPT_CAPATH, caDir.constData());
  if (request.acceptUntrustedAuthority) {
    curl_easy_setopt(m_easy, CURLOPT_SSL_CTX_FUNCTION, &CurlTransfer::onSslContext);
    curl_easy_setopt(m_easy, CURLOPT_SSL_CTX_DATA, this);
  }
}

CURLcode CurlTransfer::onSslContext(CURL*, void* sslContext, void*) {
  SSL_CTX_set_verify(static_cast<SSL_CTX*>(sslContext), SSL_VERIFY_PEER, &verifyAcceptingUnknownAuthority);
  return CURLE_OK;
}

void CurlTransfer::setStallLimitForTests(std::chrono::milliseconds limit) { stallLimit = limit.count(); }

// A pause of the sink holds the clock: the time a body call spends paused
// ends with a byte just received, and a pause between bytes restarts it.
bool CurlTransfer::stallsNow(std::chrono::steady_clock::time_point now) {
  if (m_sink->paused()) m_lastByte = now;
  m_stalled = now - m_lastByte >= std::chrono::milliseconds(stallLimit);
  return m_stalled;
}

CURLcode CurlTransfer::perform(Sink& sink) {
  if (!m_easy) return CURLE_OUT_OF_MEMORY;
  CURLM* multi = curl_multi_init();
  if (!multi) return CURLE_OUT_OF_MEMORY;
  m_sink = &sink;
  m_lastByte = std::chrono::steady_clock::now();
  m_stalled = false;
  curl_multi_add_handle(multi, m_easy);
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  int running = 1;
  while (curl_multi_perform(multi, &running) == CURLM_OK && running) {
    if (sink.stopRequested()) break;
    if (stallsNow(std::chrono::steady_clock::now())) {
      result = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    curl_multi_poll(multi, nullptr, 0, kStepMilliseconds, nullptr);
  }
  int pending = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &pending))
    if (message->msg == CURLMSG_DONE) result = message->data.result;
  curl_multi_remove_handle(multi, m_easy);
  curl_multi_cleanup(multi);
  m_sink = nullptr;
  return result;
}

size_t CurlTransfer::onBody(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  const size_t bytes = size * count;
  const bool more = transfer->m_sink->body(data, bytes);
  transfer->m_lastByte = std::chrono::steady_clock::now();
  return more ? bytes : 0;
}

size_t CurlTransfer::onHeader(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  const size_t bytes = size * count;
  transfer->m_lastByte = std::chrono::steady_clock::now();
  const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
  if (line.startsWith("HTTP/") || (!line.isEmpty() && line[0] >= '1' && line[0] <= '6'))
    transfer->m_responseText = QString::fromLatin1(line);
  return bytes;
}

long CurlTransfer::responseCode() const {
  long code = 0;
  curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
  return code;
}

qint64 CurlTransfer::contentLength() const {
  curl_off_t length = -1;
  curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  return length;
}

QByteArray CurlTransfer::header(const char* name) const {
  curl_header* found = nullptr;
  if (curl_easy_header(m_easy, name, 0, CURLH_HEADER, -1, &found) != CURLHE_OK) return QByteArray();
  return QByteArray(found->value);
}

QString CurlTransfer::redirectUrl() const {
  char* url = nullptr;
  curl_easy_getinfo(m_easy, CURLINFO_REDIRECT_URL, &url);
  return url ? QString::fromUtf8(url) : QString();
}

qint64 CurlTransfer::fileTime() const {
  curl_off_t time = -1;
  curl_easy_getinfo(m_easy, CURLINFO_FILETIME_T, &time);
  return time;
}

bool CurlTransfer::untrustedAuthority() const {
  long verifyResult = X509_V_OK;
  curl_easy_getinfo(m_easy, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
  return isUnknownAuthority(verifyResult);
}

int CurlTransfer::systemErrno() const {
  long reason = 0;
  curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &reason);
  return int(reason);
}
