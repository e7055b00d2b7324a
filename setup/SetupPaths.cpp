#include "SetupPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace SetupPaths {

namespace {

// A folder someone else planted, or a link, must never be written through.
bool isSafe(const struct stat& st) {
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

QString modulePath() { return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(); }

QString tempFolder() {
  QString dir = qEnvironmentVariable("TMPDIR");
  if (dir.isEmpty()) dir = QStringLiteral("/tmp");
  if (!dir.endsWith('/')) dir += '/';
  return dir;
}

QString privateFolderPath() { return tempFolder() + QStringLiteral("KVTsetup-%1/").arg(::getuid()); }

QString privateTempFolder() {
  const QString path = privateFolderPath();
  const QByteArray native = QFile::encodeName(path.chopped(1));
  if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  return ::lstat(native.constData(), &st) == 0 && isSafe(st) ? path : QString();
}

bool isSafePrivateFolder(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && isSafe(st);
}

QString privateWhenTemporary(const QString& folder) {
  const QString target = folder.endsWith('/') ? folder : folder + '/';
  const QString temp = tempFolder();
  if (!target.startsWith(temp)) return target;
  const QString own = privateTempFolder();
  if (own.isEmpty()) return {};
  return target.startsWith(own) ? target : own + target.mid(temp.size());
}

}  // namespace SetupPaths
