#pragma once

#include <QList>
#include <QString>
#include <cstdint>

#include "IDownloadObserver.h"

// One queued download of a prerequisite.
struct DownloadJobRecord {
  QString url;
  qint64 expectedSize = 0;
  QByteArray md5;            // expected, in hexadecimal; empty for any
  std::uint32_t status = 4;  // non-zero until the download succeeded
  int prerequisiteIndex = -1;
  QString subfolder;
};

// The prerequisites' downloads and the folder they share.
class CDownloadQueue {
 public:
  // Stored with a trailing "/".
  void setDownloadFolder(const QString& folder);
  QString downloadFolder() const { return m_downloadFolder; }

  void addJob(const DownloadJobRecord& record) { m_jobs.append(record); }
  void clear() { m_jobs.clear(); }
  int count() const { return int(m_jobs.size()); }
  const DownloadJobRecord& job(int index) const { return m_jobs.at(index); }
  DownloadJobRecord& job(int index) { return m_jobs[index]; }

  // The folder a job's file goes into: the download folder and its subfolder
  // (backslashes read as "/"). Empty when the subfolder would climb out.
  QString folderFor(int index) const;

  // Runs job `index` to its end, resuming a ".part" file: 0 on success (the
  // record's status is cleared), 5 on failure or for an index beyond the queue.
  std::uint32_t RunQueuedJob(int index, IDownloadObserver* observer = nullptr);

 private:
  QString m_downloadFolder;
  QList<DownloadJobRecord> m_jobs;
};
