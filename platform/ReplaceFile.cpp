#include "ReplaceFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <utility>

namespace {

// A temporary file is named after its file: "<name>.saving-" and 16 hex digits.
const QString kTemporaryMark = QStringLiteral(".saving-");
constexpr int kTemporaryDigits = 16;
// Links are followed no deeper than the system itself follows them.
constexpr int kDeepestLink = 40;
constexpr int kNameAttempts = 100;

std::function<int(int)>& syncCall() {
  static std::function<int(int)> call;
  return call;
}

int syncToDisk(int fd) { return syncCall() ? syncCall()(fd) : ::fsync(fd); }

// The file a save through `path` replaces: the end of its chain of links.
QString targetOf(const QString& path) {
  QFileInfo info(path);
  for (int depth = 0; depth < kDeepestLink && info.isSymLink(); ++depth) info.setFile(info.symLinkTarget());
  return info.filePath();
}

bool isTemporaryName(const QString& name, const QString& prefix) {
  if (!name.startsWith(prefix) || name.size() != prefix.size() + kTemporaryDigits) return false;
  for (qsizetype i = prefix.size(); i < name.size(); ++i)
    if (!name[i].isDigit() && (name[i] < QLatin1Char('a') || name[i] > QLatin1Char('f'))) return false;
  return true;
}

// A writer holds the lock on its temporary file until it has renamed it: a lock that can be
// taken belongs to no one, and the file it guards is a leftover.
void removeIfAbandoned(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat held {};
  struct stat named {};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
      ::lstat(native.constData(), &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
    ::unlink(native.constData());
  ::close(fd);
}

void removeLeftovers(const QString& target) {
  const QFileInfo info(target);
  const QString prefix = info.fileName() + kTemporaryMark;
  QDirIterator entries(info.absolutePath(), QDir::Files | QDir::Hidden | QDir::System);
  while (entries.hasNext()) {
    entries.next();
    if (isTemporaryName(entries.fileName(), prefix)) removeIfAbandoned(entries.filePath());
  }
}

// A new temporary file beside `target`, locked; -1 when none can be made.
int createTemporary(const QString& target, mode_t mode, QString& path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const quint64 number = QRandomGenerator::system()->generate64();
    path = target + kTemporaryMark +
           QString::number(number, 16).rightJustified(kTemporaryDigits, QLatin1Char('0'));
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    int rc;
    do rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    // Between its creation and the lock another save may have taken it for a leftover.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    ::close(fd);
  }
  return -1;
}

bool writeAll(int fd, const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

bool syncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = syncToDisk(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

FileReplacement::FileReplacement(const QString& path, mode_t newFileMode)
    : target_(targetOf(path)), newFileMode_(newFileMode) {}

FileReplacement::~FileReplacement() { discard(); }

bool FileReplacement::open() {
  const QByteArray nativeTarget = QFile::encodeName(target_);
  struct stat existing {};
  const bool exists = ::stat(nativeTarget.constData(), &existing) == 0;
  if (exists && ::access(nativeTarget.constData(), W_OK) != 0) return false;
  removeLeftovers(target_);
  fd_ = createTemporary(target_, newFileMode_, temporary_);
  if (fd_ < 0) return false;
  if (exists && ::fchmod(fd_, existing.st_mode & 07777) != 0) {
    discard();
    return false;
  }
  return true;
}

// The lock on the temporary file is held until the rename is done, so no other
// replacement takes it for a leftover.
bool FileReplacement::commit() {
  if (fd_ < 0 || syncToDisk(fd_) != 0 ||
      ::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0) {
    discard();
    return false;
  }
  ::close(std::exchange(fd_, -1));
  return syncFolder(QFileInfo(target_).absolutePath());
}

void FileReplacement::discard() {
  if (fd_ < 0) return;
  ::unlink(QFile::encodeName(temporary_).constData());
  ::close(std::exchange(fd_, -1));
}

bool replaceFile(const QString& path, const QByteArray& bytes) {
  FileReplacement replacement(path);
  if (!replacement.open()) return false;
  if (!writeAll(replacement.fd(), bytes)) return false;
  return replacement.commit();
}

void setSyncCall(std::function<int(int)> call) { syncCall() = std::move(call); }
