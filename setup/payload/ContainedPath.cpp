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

// A folder that is there costs one call; one that is missing is made.
UniqueFd openLevel(int parent, const QString& name, bool create) {
  const QByteArray native = QFile::encodeName(name);
  UniqueFd folder(::openat(parent, native.constData(), kFolderFlags));
  if (folder.valid() || !create || errno != ENOENT) return folder;
  ::mkdirat(parent, native.constData(), 0777);
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
  const QByteArray native = QFile::encodeName(root);
  UniqueFd opened(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (opened.valid() || !create || errno != ENOENT) return opened;
  QDir().mkpath(root);
  return UniqueFd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

UniqueFd openParts(const QString& root, const QStringList& levels, bool create) {
  return openLevels(openRoot(root, create), levels, create);
}

// A new file at `name` in the open folder `parent`: whatever stands there is
// removed first, a link as itself; a folder stays, and the creation fails on it.
UniqueFd createNewAt(int parent, const QByteArray& name) {
  constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  UniqueFd file(::openat(parent, name.constData(), flags, 0666));
  if (!file.valid() && errno == EEXIST && ::unlinkat(parent, name.constData(), 0) == 0)
    file = UniqueFd(::openat(parent, name.constData(), flags, 0666));
  return file;
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

// Removes the folders `levels` below `root` while they are empty, the deepest first.
void removeEmptiedFolders(const QString& root, QStringList levels) {
  while (!levels.isEmpty()) {
    const QByteArray name = QFile::encodeName(levels.takeLast());
    const UniqueFd folder = openParts(root, levels, false);
    if (!folder.valid() || ::unlinkat(folder.get(), name.constData(), AT_REMOVEDIR) != 0) return;
  }
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
  return FileCreator(root).create(relative);
}

UniqueFd FileCreator::create(const QString& relative) {
  QStringList levels = parts(relative);
  if (levels.isEmpty()) return {};
  const QByteArray leaf = QFile::encodeName(levels.takeLast());
  const int folder = openFolders(levels);
  return folder < 0 ? UniqueFd() : createNewAt(folder, leaf);
}

void FileCreator::remove(const QString& relative) {
  // The folders it empties go too: none of those held open may be written into again.
  m_names.clear();
  m_folders.clear();
  removeFile(m_root, relative);
}

// Keeps the levels the last file shares with this one and opens the rest.
int FileCreator::openFolders(const QStringList& levels) {
  if (!m_rootFolder.valid()) m_rootFolder = openRoot(m_root, true);
  if (!m_rootFolder.valid()) return -1;
  qsizetype kept = 0;
  while (kept < m_names.size() && kept < levels.size() && m_names[kept] == levels[kept]) ++kept;
  m_names.resize(kept);
  m_folders.resize(size_t(kept));
  for (qsizetype i = kept; i < levels.size(); ++i) {
    UniqueFd level =
        openLevel(m_folders.empty() ? m_rootFolder.get() : m_folders.back().get(), levels[i], true);
    if (!level.valid()) return -1;
    m_folders.push_back(std::move(level));
    m_names << levels[i];
  }
  return m_folders.empty() ? m_rootFolder.get() : m_folders.back().get();
}

void removeFile(const QString& root, const QString& relative) {
  QStringList levels = parts(relative);
  if (levels.isEmpty()) return;
  const QByteArray name = QFile::encodeName(levels.takeLast());
  const UniqueFd folder = openParts(root, levels, false);
  if (folder.valid() && ::unlinkat(folder.get(), name.constData(), 0) == 0)
    removeEmptiedFolders(root, levels);
}

void removeTree(const QString& root, const QString& relative) {
  QStringList levels = parts(relative);
  if (levels.isEmpty()) return;
  const QByteArray name = QFile::encodeName(levels.takeLast());
  const UniqueFd folder = openParts(root, levels, false);
  if (!folder.valid()) return;
  removeEntryAt(folder.get(), name);
  removeEmptiedFolders(root, levels);
}

}  // namespace ContainedPath
