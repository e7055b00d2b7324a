#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <thread>

#include "CurlTransfer.h"
#include "IDownloadObserver.h"

// A point in time as the Last-Modified header gives it (UTC), all zero when absent.
struct SystemTime {
  quint16 year = 0;
  quint16 month = 0;
  quint16 dayOfWeek = 0;
  quint16 day = 0;
  quint16 hour = 0;
  quint16 minute = 0;
  quint16 second = 0;
  quint16 milliseconds = 0;
};

// One run of one URL into a file, on a thread of its own. The file grows as
// "<target>.part" and is renamed into place when complete; a later run with
// resume on continues a ".part" file that is left. One job runs at a time in
// the process; others wait for their turn (and may be cancelled meanwhile).
class CDownloadJob : private CurlTransfer::Sink {
 public:
  CDownloadJob() = default;
  // Waits for the thread: cancel the job through its observer first.
  ~CDownloadJob() override;
  CDownloadJob(const CDownloadJob&) = delete;
  CDownloadJob& operator=(const CDownloadJob&) = delete;

  void setDownloadFolder(const QString& folder) { m_downloadFolder = folder; }
  QString downloadFolder() const { return m_downloadFolder; }
  void setObserver(IDownloadObserver* observer) { m_observer = observer; }
  void setProxy(const QString& proxy) { m_proxy = proxy; }
  // What the configuration says the file is: its size (0: any) and its MD5
  // (empty: any). A transfer that outgrows the size fails, and a ".part" file
  // that the server has nothing to add to is used only when it matches both.
  void setExpectedFile(qint64 size, const QByteArray& md5) {
    m_expectedSize = size;
    m_expectedMd5 = md5;
  }

  // Starts the thread. With `wait`, gives the job's exit code once it ended
  // (0 on success); otherwise 0 at once, or the reason the thread did not start.
  std::uint32_t StartDownload(const QString& url, const QString& targetName, QWidget* owner, bool resume,
                              bool wait, const QString& extraHeaders = QString(),
                              bool queryLastModified = false);

  bool isRunning() const { return m_running; }
  // DownloadErrors::kStillActive while the thread runs.
  std::uint32_t exitCode() const { return m_exitCode; }
  void waitForEnd();

  // Read once the job ended.
  std::uint32_t lastError() const { return m_lastError; }
  QString targetPath() const { return m_targetPath; }
  QString responseText() const { return m_responseText; }
  SystemTime lastModified() const { return m_lastModified; }

 private:
  enum class Verdict { Pending, Accepted, Redirect, StartOver, Failed, Complete };
  enum class Answer { Yes, No, Cancelled };

  std::uint32_t DownloadThreadProc();
  std::uint32_t transferFile();
  std::uint32_t fetchHttp(const QString& scheme);
  std::uint32_t fetchFtp();
  CURLcode runAttempt(CurlTransfer& transfer);
  std::uint32_t finishAttempt(CURLcode code, const CurlTransfer& transfer);
  std::uint32_t transferFailure(CURLcode code, const CurlTransfer& transfer) const;
  std::uint32_t completeFile();
  CurlTransfer::Request requestFor(const QString& url) const;

  void evaluateResponse();
  void evaluateHttpStatus();
  void settleWholePart(qint64 remoteSize);
  bool takeWholePart(qint64 remoteSize);
  void accept(qint64 total);
  std::uint32_t openWorkFile();
  void fail(std::uint32_t code);
  void startOver(std::uint32_t codeIfAgain);
  void closeWorkFile();
  bool emptyWorkFile();
  void readLastModified();
  Answer askAboutCertificate();

  bool body(const char* data, size_t size) override;
  bool stopRequested() override;
  bool paused() override;
  bool cancelled();
  void waitWhilePaused();
  void notifyStatus(int code);

  // What to fetch and how.
  QString m_url;
  QString m_downloadFolder;
  QString m_targetName;
  QPointer<QWidget> m_owner;
  bool m_resume = false;
  QString m_extraHeaders;
  bool m_queryLastModified = false;
  QString m_proxy;
  qint64 m_expectedSize = 0;
  QByteArray m_expectedMd5;
  IDownloadObserver* m_observer = nullptr;

  // The run.
  std::thread m_thread;
  std::atomic<bool> m_running{false};
  std::atomic<std::uint32_t> m_exitCode{0};
  std::uint32_t m_lastError = 0;
  QString m_targetPath;
  QString m_workPath;
  QString m_responseText;
  SystemTime m_lastModified;

  // The request under way.
  bool m_isHttp = false;
  CurlTransfer* m_transfer = nullptr;
  Verdict m_verdict = Verdict::Pending;
  std::uint32_t m_failure = 0;
  bool m_cancelSeen = false;
  qint64 m_offset = 0;
  qint64 m_total = 0;
  qint64 m_ftpTotal = 0;
  qint64 m_written = 0;
  int m_workFile = -1;
};
