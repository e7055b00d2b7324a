#include "ExtractedPaths.h"

namespace {

// `the names "a" and "b"`, or `the name "a" and the member "b"`.
QString both(const ExtractedPaths::Origin& earlier, const ExtractedPaths::Origin& later) {
  if (earlier.kind == later.kind)
    return QString("the %1s \"%2\" and \"%3\"").arg(earlier.kind, earlier.given, later.given);
  return QString("the %1 \"%2\" and the %3 \"%4\"").arg(earlier.kind, earlier.given, later.kind, later.given);
}

QString sameFile(const ExtractedPaths::Origin& earlier, const ExtractedPaths::Origin& later) {
  return both(earlier, later) + " are extracted as the same file";
}

QString fileAndFolder(const ExtractedPaths::Origin& earlier, const ExtractedPaths::Origin& later,
                      const QString& file) {
  return QString("%1 need \"%2\" both as a file and as a folder").arg(both(earlier, later), file);
}

}  // namespace

QString ExtractedPaths::addEntry(const QByteArray& relative, const Origin& origin) {
  const auto [earlier, added] = m_entries.emplace(relative, origin);
  return added ? QString() : sameFile(earlier->second, origin);
}

QString ExtractedPaths::addFile(const QByteArray& relative, const Origin& origin) {
  if (const auto folder = m_folders.find(relative); folder != m_folders.end())
    return fileAndFolder(folder->second, origin, origin.given);
  const auto [earlier, added] = m_files.emplace(relative, origin);
  return added ? QString() : sameFile(earlier->second, origin);
}

QString ExtractedPaths::addFolders(QByteArray folder, const Origin& origin) {
  for (; !folder.isEmpty(); folder = folderOf(folder)) {
    if (const auto file = m_files.find(folder); file != m_files.end())
      return fileAndFolder(file->second, origin, file->second.given);
    m_folders.emplace(folder, origin);
  }
  return {};
}

QByteArray ExtractedPaths::folderOf(const QByteArray& relative) {
  const qsizetype slash = relative.lastIndexOf('/');
  return slash < 0 ? QByteArray() : relative.left(slash);
}
