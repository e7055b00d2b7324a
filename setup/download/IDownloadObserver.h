#pragma once

#include <QString>
#include <cstdint>

// What a download job tells its owner, on the job's own thread. Every call is
// optional to act on.
class IDownloadObserver {
 public:
  virtual ~IDownloadObserver() = default;

  // The request is open: the file's whole size (0 when unknown) and where it goes.
  virtual void started(qint64 totalSize, const QString& targetPath) {
    Q_UNUSED(totalSize);
    Q_UNUSED(targetPath);
  }
  // The file is complete and in place.
  virtual void finished() {}
  // 1 starting, 2 request opened, 3 a read completed, 4 certificate question
  // answered, 5 certificate question about to show, 6 waiting for the owner window.
  virtual void status(int code) { Q_UNUSED(code); }
  // Bytes just written; once at the start with the resume offset (or 0).
  virtual void progress(qint64 bytes) { Q_UNUSED(bytes); }
  virtual bool isCancelled() { return false; }
  virtual bool isPaused() { return false; }
  // Any failure but "not modified" and a cancel.
  virtual void error(int reserved, std::uint32_t code) {
    Q_UNUSED(reserved);
    Q_UNUSED(code);
  }
};
