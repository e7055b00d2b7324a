#include "CDownloadJob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <mutex>
#include <system_error>

#include "CertificateQuestion.h"
#include "DownloadErrors.h"
#include "DownloadUrl.h"
#include "FileWrite.h"
#include "VerifyFileMd5.h"

using namespace DownloadErrors;
using namespace std::chrono_literals;

namespace {

constexpr int kMaxRedirects = 10;
constexpr auto kStep = 10ms;

// Jobs take turns: the whole process runs one download at a time.
std::timed_mutex& downloadTurn() {
  static std::timed_mutex turn;
  return turn;
}

bool isFolder(const QByteArray& path) {
  struct stat info {};
  return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes `folder` and the folders above it that are missing: 0, or the errno of
// the first level that could not be made, which is what the user must be told.
int makeFolders(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder);
  for (qsizetype end = 1; end <= path.size(); ++end) {
    if (end < path.size() && path[end] != '/') continue;
    const QByteArray level = path.left(end);
    if (isFolder(level)) continue;
    if (::mkdir(level.constData(), 0755) == 0) continue;
    const int reason = errno;
    if (reason != EEXIST) return reason;
    if (!isFolder(level)) return ENOTDIR;
  }
  return 0;
}

qint64 existingFileSize(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() ? info.size() : 0;
}

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// "bytes 100-199/200": the first byte, and the whole size (-1 when "*").
bool parseContentRange(const QByteArray& value, qint64& first, qint64& complete) {
  const QByteArray text = value.trimmed();
  if (!text.startsWith("bytes ")) return false;
  const QByteArray range = text.mid(6).trimmed();
  const qsizetype dash = range.indexOf('-');
  const qsizetype slash = range.indexOf('/');
  if (dash <= 0 || slash < dash) return false;
  bool ok = false;
  first = range.left(dash).toLongLong(&ok);
  if (!ok) return false;
  const QByteArray whole = range.mid(slash + 1);
  complete = whole == "*" ? -1 : whole.toLongLong(&ok);
  return ok;
}

// "bytes */200" of a 416 reply: the whole size, -1 when not given.
qint64 unsatisfiedRangeSize(const QByteArray& value) {
  const QByteArray text = value.trimmed();
  if (!text.startsWith("bytes */")) return -1;
  bool ok = false;
  const qint64 size = text.mid(8).toLongLong(&ok);
  return ok ? size : -1;
}

QByteArrayList headerLines(const QString& extraHeaders) {
  QByteArrayList lines;
  for (const QString& line : extraHeaders.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    lines << line.toLatin1();
  return lines;
}

SystemTime systemTimeOf(qint64 secondsSinceEpoch) {
  SystemTime time;
  const std::time_t seconds = std::time_t(secondsSinceEpoch);
  std::tm parts{};
  if (secondsSinceEpoch < 0 || !gmtime_r(&seconds, &parts)) return time;
  time.year = quint16(parts.tm_year + 1900);
  time.month = quint16(parts.tm_mon + 1);
  time.dayOfWeek = quint16(parts.tm_wday);
  time.day = quint16(parts.tm_mday);
  time.hour = quint16(parts.tm_hour);
  time.minute = quint16(parts.tm_min);
  time.second = quint16(parts.tm_sec);
  return time;
}

// The size query's faked headers reach the body too; they are not the file.
class SizeQuerySink : public CurlTransfer::Sink {
 public:
  explicit SizeQuerySink(CurlTransfer::Sink& job) : m_job(job) {}
  bool body(const char*, size_t) override { return true; }
  bool stopRequested() override { return m_job.stopRequested(); }
  bool paused() override { return m_job.paused(); }

 private:
  CurlTransfer::Sink& m_job;
};

bool onInterfaceThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace

CDownloadJob::~CDownloadJob() { waitForEnd(); }

std::uint32_t CDownloadJob::StartDownload(const QString& url, const QString& targetName, QWidget* owner,
                                          bool resume, bool wait, const QString& extraHeaders,
                                          bool queryLastModified) {
  if (m_running) return kBusy;
  waitForEnd();
  m_url = url;
  m_targetName = targetName;
  m_owner = owner;
  m_resume = resume;
  m_extraHeaders = extraHeaders;
  m_queryLastModified = queryLastModified;
  m_exitCode = kStillActive;
  m_running = true;
  try {
    m_thread = std::thread([this] {
      m_exitCode = DownloadThreadProc();
      m_running = false;
    });
  } catch (const std::system_error& failure) {
    m_running = false;
    m_exitCode = std::uint32_t(failure.code().value());
    return m_exitCode;
  }
  if (!wait) return 0;
  waitForEnd();
  return m_exitCode;
}

// On the interface thread the wait lets events run: the job may need the
// interface thread for its certificate question.
void CDownloadJob::waitForEnd() {
  if (!m_thread.joinable()) return;
  while (m_running && onInterfaceThread()) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(kStep);
  }
  m_thread.join();
}

std::uint32_t CDownloadJob::DownloadThreadProc() {
  std::unique_lock turn(downloadTurn(), std::defer_lock);
  while (!turn.try_lock_for(kStep))
    if (cancelled()) return m_lastError = kCancelled;
  m_lastModified = SystemTime();
  m_responseText.clear();
  m_lastError = transferFile();
  closeWorkFile();
  if (m_lastError != 0 && m_lastError != kCancelled && m_lastError != kNotModified && m_observer)
    m_observer->error(0, m_lastError);
  return m_lastError;
}

std::uint32_t CDownloadJob::transferFile() {
  const UrlParts parts = CrackUrl(m_url);
  if (!parts.valid || !IsDownloadScheme(parts.scheme)) return kUnsupportedScheme;
  m_targetPath = TargetPathFor(m_targetName, m_url, m_downloadFolder);
  if (m_targetPath.isEmpty()) return kNoTargetName;
  m_workPath = m_targetPath + QStringLiteral(".part");
  m_cancelSeen = false;
  notifyStatus(1);
  m_offset = m_resume ? existingFileSize(m_workPath) : 0;
  return parts.scheme == "ftp" ? fetchFtp() : fetchHttp(parts.scheme);
}

CurlTransfer::Request CDownloadJob::requestFor(const QString& url) const {
  CurlTransfer::Request request;
  request.url = url;
  request.proxy = m_proxy;
  return request;
}

// HTTP and HTTPS (and Gopher, which knows no ranges). Redirects are followed
// here, at most ten, and never from HTTPS down to plain HTTP.
std::uint32_t CDownloadJob::fetchHttp(const QString& scheme) {
  m_isHttp = scheme != "gopher";
  if (!m_isHttp) m_offset = 0;
  QString url = m_url;
  bool secure = scheme == "https";
  bool acceptUntrusted = false;
  bool startedOver = false;
  int redirects = 0;
  for (;;) {
    CurlTransfer::Request request = requestFor(url);
    if (m_offset > 0) request.headers << QByteArray("Range: bytes=") + QByteArray::number(m_offset) + '-';
    if (m_isHttp) request.headers << QByteArray("Pragma: no-cache");
    request.headers << headerLines(m_extraHeaders);
    request.queryFileTime = m_queryLastModified;
    request.acceptUntrustedAuthority = acceptUntrusted;
    CurlTransfer transfer(request);
    const CURLcode code = runAttempt(transfer);
    m_responseText = transfer.responseText();
    if (m_cancelSeen) return kCancelled;
    if (m_verdict == Verdict::Redirect) {
      const QString next = transfer.redirectUrl();
      const QString nextScheme = CrackUrl(next).scheme;
      if (++redirects > kMaxRedirects) return transferError(CURLE_TOO_MANY_REDIRECTS);
      if (nextScheme != "https" && (nextScheme != "http" || secure))
        return transferError(CURLE_UNSUPPORTED_PROTOCOL);
      secure = nextScheme == "https";
      url = next;
      continue;
    }
    if (m_verdict == Verdict::StartOver) {
      if (startedOver) return m_failure;
      startedOver = true;
      m_offset = 0;
      continue;
    }
    if (code == CURLE_PEER_FAILED_VERIFICATION && !acceptUntrusted && transfer.untrustedAuthority()) {
      const Answer answer = askAboutCertificate();
      if (answer == Answer::Cancelled) return kCancelled;
      if (answer == Answer::Yes) {
        acceptUntrusted = true;
        continue;
      }
    }
    return finishAttempt(code, transfer);
  }
}

// FTP: the size first, then the file from the resume offset through REST;
// a server that refuses REST gets the whole file again.
std::uint32_t CDownloadJob::fetchFtp() {
  m_isHttp = false;
  CurlTransfer::Request sizeRequest = requestFor(m_url);
  sizeRequest.sizeOnly = true;
  CurlTransfer sizeQuery(sizeRequest);
  SizeQuerySink sizeSink(*this);
  const CURLcode sizeCode = sizeQuery.perform(sizeSink);
  m_responseText = sizeQuery.responseText();
  if (m_cancelSeen) return kCancelled;
  if (sizeQuery.stalled()) return kStoppedAnswering;
  if (sizeCode != CURLE_OK) return transferFailure(sizeCode, sizeQuery);
  m_ftpTotal = qMax<qint64>(0, sizeQuery.contentLength());
  if (m_ftpTotal != 0 && m_ftpTotal <= m_offset && takeWholePart(m_ftpTotal)) {
    accept(m_offset);
    return finishAttempt(CURLE_OK, sizeQuery);
  }
  for (;;) {
    CurlTransfer::Request request = requestFor(m_url);
    request.ftpResumeOffset = m_offset;
    CurlTransfer transfer(request);
    const CURLcode code = runAttempt(transfer);
    m_responseText = transfer.responseText();
    if (m_cancelSeen) return kCancelled;
    if (code == CURLE_FTP_COULDNT_USE_REST && m_offset > 0 && m_verdict == Verdict::Pending) {
      m_offset = 0;
      continue;
    }
    return finishAttempt(code, transfer);
  }
}

CURLcode CDownloadJob::runAttempt(CurlTransfer& transfer) {
  m_verdict = Verdict::Pending;
  m_transfer = &transfer;
  const CURLcode code = transfer.perform(*this);
  // A reply without a body is judged once it is complete.
  if (code == CURLE_OK && m_verdict == Verdict::Pending && !m_cancelSeen) evaluateResponse();
  if (transfer.stalled()) fail(kStoppedAnswering);
  m_transfer = nullptr;
  return code;
}

std::uint32_t CDownloadJob::finishAttempt(CURLcode code, const CurlTransfer& transfer) {
  if (m_verdict == Verdict::Failed) return m_failure;
  if (m_verdict == Verdict::Complete) return 0;
  if (code != CURLE_OK) return transferFailure(code, transfer);
  return completeFile();
}

// The system's reason under a failed connection tells a refusal, a reset and a
// time-out apart, which the transfer library's code does not.
std::uint32_t CDownloadJob::transferFailure(CURLcode code, const CurlTransfer& transfer) const {
  const int reason = transfer.systemErrno();
  switch (code) {
    case CURLE_PARTIAL_FILE:
      return kClosedEarly;
    case CURLE_BAD_DOWNLOAD_RESUME:
      return kNothingLeft;
    case CURLE_COULDNT_CONNECT:
      if (reason == ECONNREFUSED) return kConnectionRefused;
      if (reason == ETIMEDOUT) return transferError(CURLE_OPERATION_TIMEDOUT);
      return transferError(code);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return reason == ECONNRESET || reason == EPIPE ? kConnectionReset : transferError(code);
    case CURLE_PEER_FAILED_VERIFICATION:
      return transfer.untrustedAuthority() ? kUntrustedAuthority : transferError(code);
    default:
      return transferError(code);
  }
}

std::uint32_t CDownloadJob::completeFile() {
  closeWorkFile();
  if (m_total > 0 && m_offset + m_written < m_total) return kClosedEarly;
  QFile::remove(m_targetPath);
  if (::rename(QFile::encodeName(m_workPath).constData(), QFile::encodeName(m_targetPath).constData()) != 0)
    return systemError(errno);
  if (m_observer) m_observer->finished();
  return 0;
}

void CDownloadJob::evaluateResponse() {
  notifyStatus(2);
  if (m_isHttp) {
    evaluateHttpStatus();
  } else {
    accept(m_ftpTotal > 0 ? m_ftpTotal : qMax<qint64>(0, m_transfer->contentLength()));
  }
}

// The reply decides what is fetched. Only a 206 that starts where it was asked
// continues the ".part" file; an error reply is never saved as the file.
void CDownloadJob::evaluateHttpStatus() {
  const long status = m_transfer->responseCode();
  const qint64 length = qMax<qint64>(0, m_transfer->contentLength());
  if (isRedirect(status) && !m_transfer->redirectUrl().isEmpty()) {
    m_verdict = Verdict::Redirect;
    return;
  }
  if (status != 304) readLastModified();
  switch (status) {
    case 200:
      if (length != 0 && m_offset >= length) return settleWholePart(length);
      m_offset = 0;
      return accept(length);
    case 206: {
      qint64 first = 0;
      qint64 complete = -1;
      if (!parseContentRange(m_transfer->header("Content-Range"), first, complete) || first != m_offset)
        return startOver(httpStatusError(206));
      const qint64 total = length != 0 ? m_offset + length : qMax<qint64>(0, complete);
      if (total == m_offset) return settleWholePart(total);
      return accept(total);
    }
    case 304:
      return fail(kNotModified);
    case 401:
    case 407:
      return fail(kAuthenticationRequired);
    case 403:
      return fail(kForbidden);
    case 416:
      if (m_offset > 0) return settleWholePart(unsatisfiedRangeSize(m_transfer->header("Content-Range")));
      return fail(httpStatusError(status));
    default:
      return fail(httpStatusError(status));
  }
}

void CDownloadJob::readLastModified() {
  if (m_queryLastModified) m_lastModified = systemTimeOf(m_transfer->fileTime());
}

// The server has nothing to send after the ".part" file's end (its whole size
// is `remoteSize`, -1 when it does not say).
void CDownloadJob::settleWholePart(qint64 remoteSize) {
  if (!takeWholePart(remoteSize)) return startOver(kNothingLeft);
  accept(m_offset);
}

// A ".part" file counts as the whole file when its size agrees with the
// server's and with the expected size, and its MD5 with the expected one,
// where these are known, and at least one of them is. Any other is emptied, and
// the file is fetched again from its start.
bool CDownloadJob::takeWholePart(qint64 remoteSize) {
  const qint64 size = existingFileSize(m_workPath);
  const bool known = remoteSize >= 0 || m_expectedSize > 0 || !m_expectedMd5.isEmpty();
  if (known && (remoteSize < 0 || size == remoteSize) && (m_expectedSize <= 0 || size == m_expectedSize) &&
      (m_expectedMd5.isEmpty() || VerifyFileMd5(m_workPath, m_expectedMd5, 0)))
    return true;
  emptyWorkFile();
  m_offset = 0;
  return false;
}

void CDownloadJob::accept(qint64 total) {
  m_total = total;
  m_written = 0;
  if (m_observer) m_observer->started(total, m_targetPath);
  if (cancelled()) {
    m_cancelSeen = true;
    return fail(kCancelled);
  }
  if (total != 0 && total == m_offset) {
    const std::uint32_t code = completeFile();
    m_verdict = code == 0 ? Verdict::Complete : Verdict::Failed;
    m_failure = code;
    return;
  }
  if (const std::uint32_t code = openWorkFile(); code != 0) return fail(code);
  m_verdict = Verdict::Accepted;
  if (m_observer) m_observer->progress(m_offset);
}

// The ".part" file is cut to the offset: emptied when the download starts over,
// so it never holds a file appended to an older partial one. 0, or the code
// of the first step that failed.
std::uint32_t CDownloadJob::openWorkFile() {
  closeWorkFile();
  if (const int reason = makeFolders(QFileInfo(m_workPath).absolutePath()); reason != 0)
    return folderError(reason);
  m_workFile =
      ::open(QFile::encodeName(m_workPath).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  const bool ready = m_workFile >= 0 && ::ftruncate(m_workFile, m_offset) == 0 &&
                     ::lseek(m_workFile, m_offset, SEEK_SET) == m_offset;
  return ready ? 0 : systemError(errno);
}

void CDownloadJob::closeWorkFile() {
  if (m_workFile >= 0) ::close(m_workFile);
  m_workFile = -1;
}

// Nothing of an emptied ".part" file is ever resumed.
bool CDownloadJob::emptyWorkFile() {
  if (m_workFile < 0)
    m_workFile = ::open(QFile::encodeName(m_workPath).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  const bool emptied = m_workFile >= 0 && ::ftruncate(m_workFile, 0) == 0;
  closeWorkFile();
  return emptied;
}

void CDownloadJob::fail(std::uint32_t code) {
  m_verdict = Verdict::Failed;
  m_failure = code;
}

// The request is made again from the file's start; a second time, the job fails with `codeIfAgain`.
void CDownloadJob::startOver(std::uint32_t codeIfAgain) {
  m_verdict = Verdict::StartOver;
  m_failure = codeIfAgain;
}

bool CDownloadJob::body(const char* data, size_t size) {
  if (m_verdict == Verdict::Pending) evaluateResponse();
  if (m_verdict != Verdict::Accepted) return false;
  notifyStatus(3);
  if (m_expectedSize > 0 && m_offset + m_written + qint64(size) > m_expectedSize) {
    emptyWorkFile();
    fail(kLargerThanExpected);
    return false;
  }
  if (!writeAll(m_workFile, data, qint64(size))) {
    fail(systemError(errno));
    return false;
  }
  m_written += qint64(size);
  if (m_observer) m_observer->progress(qint64(size));
  waitWhilePaused();
  return !stopRequested();
}

bool CDownloadJob::stopRequested() {
  if (cancelled()) m_cancelSeen = true;
  return m_cancelSeen;
}

bool CDownloadJob::paused() { return m_observer && m_observer->isPaused(); }

bool CDownloadJob::cancelled() { return m_observer && m_observer->isCancelled(); }

void CDownloadJob::waitWhilePaused() {
  while (m_observer && m_observer->isPaused() && !m_observer->isCancelled())
    std::this_thread::sleep_for(kStep);
}

void CDownloadJob::notifyStatus(int code) {
  if (m_observer) m_observer->status(code);
}

// Asked only for an authority that is not trusted; the owner window is waited
// for so that the question has a visible parent.
CDownloadJob::Answer CDownloadJob::askAboutCertificate() {
  if (m_owner && !CertificateQuestion::ownerVisible(m_owner)) {
    notifyStatus(6);
    while (m_owner && !CertificateQuestion::ownerVisible(m_owner)) {
      if (cancelled()) return Answer::Cancelled;
      std::this_thread::sleep_for(kStep);
    }
  }
  notifyStatus(5);
  const bool yes = CertificateQuestion::ask(m_owner);
  notifyStatus(4);
  return yes ? Answer::Yes : Answer::No;
}
