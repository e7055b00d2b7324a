#include "CDownloadQueue.h"

#include "CDownloadJob.h"
#include "DownloadErrors.h"

namespace {

using DownloadErrors::kAccessDenied;

QString withTrailingSlash(const QString& folder) {
  return folder.isEmpty() || folder.endsWith('/') ? folder : folder + '/';
}

}  // namespace

void CDownloadQueue::setDownloadFolder(const QString& folder) {
  m_downloadFolder = withTrailingSlash(folder);
}

QString CDownloadQueue::folderFor(int index) const {
  const QString subfolder = QString(job(index).subfolder).replace('\\', '/');
  if (m_downloadFolder.isEmpty() || subfolder.startsWith('/') ||
      subfolder.split('/').contains(QStringLiteral("..")))
    return QString();
  return withTrailingSlash(m_downloadFolder + subfolder);
}

std::uint32_t CDownloadQueue::RunQueuedJob(int index, IDownloadObserver* observer) {
  if (index < 0 || index >= count()) return kAccessDenied;
  const QString folder = folderFor(index);
  if (folder.isEmpty()) return kAccessDenied;
  CDownloadJob download;
  download.setDownloadFolder(folder);
  download.setObserver(observer);
  download.setExpectedFile(job(index).expectedSize, job(index).md5);
  if (download.StartDownload(job(index).url, QString(), nullptr, true, true) != 0) return kAccessDenied;
  job(index).status = 0;
  return 0;
}
