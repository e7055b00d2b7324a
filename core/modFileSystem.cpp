#include "modFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace {

QString lastComponent(const QString& path) {
  QString p = path;
  while (p.size() > 1 && p.endsWith('/')) p.chop(1);
  return p.mid(p.lastIndexOf('/') + 1);
}

bool isDigits(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text)
    if (!c.isDigit()) return false;
  return true;
}

// The leading whole number of a text (after blanks); 0 when it does not start with one.
qint64 leadingNumber(const QString& text) {
  qint64 n = 0;
  for (const QChar c : text.trimmed()) {
    if (!c.isDigit()) break;
    n = n * 10 + c.digitValue();
  }
  return n;
}

QString padded(qint64 n, qsizetype width) {
  return QString::number(n).rightJustified(width, QLatin1Char('0'));
}

bool isTaken(const QString& candidate, bool allowFolder) {
  return PathExists(candidate, false) || (!allowFolder && PathExists(candidate, true));
}

QStringList entryNames(const QString& folder, QDir::Filters filter, bool* ok) {
  const QDir dir(folder);
  if (ok) *ok = dir.exists() && QFileInfo(folder).isReadable();
  return dir.entryList(filter | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Name | QDir::IgnoreCase);
}

}  // namespace

bool PathExists(const QString& path, bool isFolder) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  return isFolder ? info.isDir() : info.exists() && !info.isDir();
}

QString GetParentFolderName(const QString& path) {
  QString p = path;
  while (p.size() > 1 && p.endsWith('/')) p.chop(1);
  const qsizetype slash = p.lastIndexOf('/');
  if (slash < 0) return {};
  if (slash == 0) return p.size() > 1 ? QStringLiteral("/") : QString();
  return p.left(slash);
}

QString GetFileName(const QString& path) { return lastComponent(path); }

QString ExtractFileName(const QString& path) { return GetFileName(path); }

QString GetBaseName(const QString& path) {
  const QString name = lastComponent(path);
  const qsizetype dot = name.lastIndexOf('.');
  return dot < 0 ? name : name.left(dot);
}

QString GetExtensionName(const QString& path) {
  const QString name = lastComponent(path);
  const qsizetype dot = name.lastIndexOf('.');
  return dot < 0 ? QString() : name.mid(dot + 1);
}

QString GetUniquePath(const QString& path, bool allowFolder, QString& sep) {
  if (sep.isEmpty()) sep = QStringLiteral("_");
  QString parent = GetParentFolderName(path);
  if (!parent.isEmpty() && !parent.endsWith('/')) parent += '/';
  QString ext = GetExtensionName(path);
  const QString base = GetBaseName(path);
  const qsizetype pos = base.lastIndexOf(sep, -1, Qt::CaseInsensitive);
  const QString counterText = pos < 0 ? QString() : base.mid(pos + sep.size());
  qsizetype width = pos < 0 ? 0 : counterText.trimmed().size();
  qint64 n = 0;
  bool counterFound = false;
  if (!ext.isEmpty()) ext.prepend('.');

  QString prefix;
  if (base.isEmpty() && !ext.isEmpty()) {
    prefix = parent;
  } else if (base.size() < 10 && isDigits(base)) {
    counterFound = true;
    width = base.size();
    n = leadingNumber(base);
    sep.clear();
    prefix = parent;
  } else if (pos < 0 || width >= 10) {
    prefix = parent + base;
  } else {
    n = leadingNumber(counterText);
    counterFound = counterText.trimmed() == padded(n, width);
    prefix = parent + (counterFound ? base.left(pos) : base);
  }

  QString candidate = counterFound ? prefix + sep + padded(n, width) + ext : prefix + ext;
  qint64 next = counterFound ? n + 1 : n;
  while (isTaken(candidate, allowFolder)) candidate = prefix + sep + padded(next++, width) + ext;
  return candidate;
}

void CreateFolderPath(const QString& path) {
  if (path.isEmpty() || PathExists(path, true) || PathExists(path, false)) return;
  const QString parent = GetParentFolderName(path);
  if (!parent.isEmpty() && parent != path) CreateFolderPath(parent);
  QDir().mkdir(path);
}

qint64 GetPathSize(const QString& path) {
  const QFileInfo info(path);
  if (info.isFile()) return info.size();
  if (!info.isDir()) return 0;
  qint64 total = 0;
  QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    total += it.fileInfo().size();
  }
  return total;
}

QStringList GetSubFolderNames(const QString& folder, bool* ok) { return entryNames(folder, QDir::Dirs, ok); }

QStringList GetFileNames(const QString& folder, bool* ok) { return entryNames(folder, QDir::Files, ok); }

PathKind pathKind(const QString& path) {
  if (path.isEmpty()) return PathKind::Missing;
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0)
    return errno == ELOOP ? PathKind::NotAFile : PathKind::Missing;
  return S_ISREG(st.st_mode) ? PathKind::File : PathKind::NotAFile;
}

bool openRegularFile(QFile& file, const QString& path) {
  if (pathKind(path) != PathKind::File) return false;
  // Non-blocking, in case something else took the file's place since it was looked at.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
}
