#include "ContainedPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "MemberPath.h"
#include "SetupPaths.h"

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    reset();
    m_fd = other.release();
  }
  return *this;
}

int UniqueFd::release() {
  const int fd = m_fd;
  m_fd = -1;
  return fd;
}

void UniqueFd::reset() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

namespace ContainedPath {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QStringList parts(const QString& relative) { return relative.split('/', Qt::SkipEmptyParts); }

bool isAsciiLetter(QChar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

UniqueFd openLevel(int parent, const QString& name, bool create) {
  const QByteArray native = QFile::encodeName(name);
  if (create) ::mkdirat(parent, native.constData(), 0777);
  return UniqueFd(::openat(parent, native.constData(), kFolderFlags));
}

UniqueFd openLevels(UniqueFd folder, const QStringList& levels, bool create) {
  for (const QString& level : levels) {
    if (!folder.valid()) break;
    folder = openLevel(folder.get(), level, create);
  }
  return folder;
}

// The private folder is only ever made with mode 0700, and what lies inside it
// is made from it, so that nothing re-creates it with the umask's default.
UniqueFd openRoot(const QString& root, bool create) {
  const QString own = SetupPaths::privateFolderPath();
  const QString folder = root.endsWith('/') ? root : root + '/';
  if (create && folder.startsWith(own)) {
    if (SetupPaths::privateTempFolder().isEmpty()) return {};
    UniqueFd base(::open(QFile::encodeName(own).constData(), kFolderFlags));
    return openLevels(std::move(base), parts(folder.mid(own.size())), true);
  }
  if (create) QDir().mkpath(root);
  return UniqueFd(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

UniqueFd openParts(const QString& root, const QStringList& levels, bool create) {
  return openLevels(openRoot(root, create), levels, create);
}

// Deletes `name` inside the open folder `parent`; a folder with all it holds.
void removeEntryAt(int parent, const QByteArray& name) {
  struct stat st {};
  if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    ::unlinkat(parent, name.constData(), 0);
    return;
  }
  const int fd = ::openat(parent, name.constData(), kFolderFlags);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray child(entry->d_name);
    if (child != "." && child != "..") removeEntryAt(::dirfd(dir), child);
  }
  ::closedir(dir);
  ::unlinkat(parent, name.constData(), AT_REMOVEDIR);
}

// The faults of a "/"-separated path that need no look at its parts.
NameFault wholeFault(const QString& path) {
  if (path.isEmpty()) return NameFault::Empty;
  if (path.contains(QChar(0))) return NameFault::Nul;
  if (path.startsWith('/')) return NameFault::Absolute;
  return NameFault::None;
}

}  // namespace

NameFault nameFault(const QString& payloadName) {
  QString name = payloadName;
  name.replace('\\', '/');
  if (const NameFault fault = wholeFault(name); fault != NameFault::None) return fault;
  if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':') return NameFault::DriveLetter;
  for (const QString& part : name.split('/')) {
    if (part.isEmpty()) return NameFault::EmptyPart;
    if (part == QLatin1String(".")) return NameFault::DotPart;
    if (part == QLatin1String("..")) return NameFault::DotDotPart;
  }
  return NameFault::None;
}

NameFault memberFault(const QString& member) {
  if (const NameFault fault = wholeFault(member); fault != NameFault::None) return fault;
  return MemberPath::hasDotDotPart(QFile::encodeName(member).toStdString()) ? NameFault::DotDotPart
                                                                            : NameFault::None;
}

NameFault linkFault(const QString& link, const QString& target) {
  if (const NameFault fault = wholeFault(target); fault != NameFault::None) return fault;
  const std::string resolved = MemberPath::fromLinkFolder(QFile::encodeName(link).toStdString(),
                                                          QFile::encodeName(target).toStdString());
  return MemberPath::staysInside(resolved) ? NameFault::None : NameFault::Outside;
}

QString relativeName(const QString& payloadName) {
  if (nameFault(payloadName) != NameFault::None) return {};
  QString name = payloadName;
  return name.replace('\\', '/');
}

QString folderPart(const QString& relative) {
  const qsizetype slash = relative.lastIndexOf('/');
  return slash < 0 ? QString() : relative.left(slash);
}

UniqueFd openFolder(const QString& root, const QString& relative, bool create) {
  return openParts(root, parts(relative), create);
}

UniqueFd createFile(const QString& root, const QString& relative) {
  QStringList levels = parts(relative);
  if (levels.isEmpty()) return {};
  const QByteArray leaf = QFile::encodeName(levels.takeLast());
  const UniqueFd folder = openParts(root, levels, true);
  if (!folder.valid()) return {};
  // A folder at the name stays, and the exclusive creation fails on it.
  ::unlinkat(folder.get(), leaf.constData(), 0);
  return UniqueFd(
      ::openat(folder.get(), leaf.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
}

void removeFile(const QString& root, const QString& relative) {
  QStringList levels = parts(relative);
  if (levels.isEmpty()) return;
  QByteArray name = QFile::encodeName(levels.takeLast());
  int flags = 0;
  while (true) {
    const UniqueFd folder = openParts(root, levels, false);
    if (!folder.valid() || ::unlinkat(folder.get(), name.constData(), flags) != 0 || levels.isEmpty()) return;
    name = QFile::encodeName(levels.takeLast());
    flags = AT_REMOVEDIR;
  }
}

void removeTree(const QString& root, const QString& relative) {
  QStringList levels = parts(relative);
  if (levels.isEmpty()) return;
  const QByteArray name = QFile::encodeName(levels.takeLast());
  const UniqueFd folder = openParts(root, levels, false);
  if (folder.valid()) removeEntryAt(folder.get(), name);
}

}  // namespace ContainedPath
