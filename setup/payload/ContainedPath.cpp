#include "ContainedPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "MemberPath.h"
#include "NewEntry.h"
#include "SetupPaths.h"
#include "TreeRemoval.h"

namespace ContainedPath {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool isAsciiLetter(QChar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The levels of a relative path as the system names them.
std::vector<std::string> levelsOf(const QString& relative) {
  std::vector<std::string> levels;
  for (const QString& part : relative.split('/', Qt::SkipEmptyParts))
    levels.push_back(QFile::encodeName(part).toStdString());
  return levels;
}

// The private folder is only ever made with mode 0700, and what lies inside it
// is made from it, so that nothing re-creates it with the umask's default.
UniqueFd openRoot(const QString& root, bool create) {
  const QString own = SetupPaths::privateFolderPath();
  const QString folder = root.endsWith('/') ? root : root + '/';
  if (create && folder.startsWith(own)) {
    if (SetupPaths::privateTempFolder().isEmpty()) return {};
    FolderWalk walk(UniqueFd(::open(QFile::encodeName(own).constData(), kFolderFlags)));
    return UniqueFd::copyOf(walk.open(levelsOf(folder.mid(own.size())), true));
  }
  const QByteArray native = QFile::encodeName(root);
  UniqueFd opened(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (opened.valid() || !create || errno != ENOENT) return opened;
  QDir().mkpath(root);
  return UniqueFd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
  FolderWalk walk(openRoot(root, create));
  return UniqueFd::copyOf(walk.open(levelsOf(relative), create));
}

UniqueFd createFile(const QString& root, const QString& relative) {
  return FileCreator(root).create(relative);
}

UniqueFd FileCreator::create(const QString& relative) {
  std::vector<std::string> levels = levelsOf(relative);
  if (levels.empty()) return {};
  const std::string leaf = std::move(levels.back());
  levels.pop_back();
  if (!m_walk.valid()) m_walk = FolderWalk(openRoot(m_root, true));
  const int folder = m_walk.open(levels, true);
  return folder < 0 ? UniqueFd() : NewEntry::file(folder, leaf, 0666);
}

void FileCreator::remove(const QString& relative) {
  removeFile(m_root, relative);
  // The folders it emptied may be among those held: none of them may be written into again.
  m_walk.forget();
}

void removeFile(const QString& root, const QString& relative) {
  std::vector<std::string> levels = levelsOf(relative);
  if (levels.empty()) return;
  const std::string leaf = std::move(levels.back());
  levels.pop_back();
  FolderWalk walk(openRoot(root, false));
  const int folder = walk.open(levels, false);
  if (folder >= 0 && ::unlinkat(folder, leaf.c_str(), 0) == 0) TreeRemoval::removeEmptyFolders(walk, levels, 0);
}

void removeTree(const QString& root, const QString& relative) {
  std::vector<std::string> levels = levelsOf(relative);
  if (levels.empty()) return;
  const std::string name = std::move(levels.back());
  levels.pop_back();
  FolderWalk walk(openRoot(root, false));
  if (walk.open(levels, false) < 0) return;
  TreeRemoval::removeTree(walk, levels, name);
  TreeRemoval::removeEmptyFolders(walk, levels, 0);
}

}  // namespace ContainedPath
