#include "PrivateFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QThread>
#include <cerrno>

#include "SetupPaths.h"
#include "UniqueFd.h"

namespace PrivateFolderLock {

namespace {

constexpr int kPollMilliseconds = 100;
// A folder removed and made again between our open and our lock is taken
// again; more than this many times in a row counts as busy.
constexpr int kRetakes = 50;

UniqueFd& heldFolder() {
  static UniqueFd fd;
  return fd;
}

bool sameFolder(int fd, const QByteArray& path) {
  struct stat opened {
  }, named{};
  if (::fstat(fd, &opened) != 0 || ::lstat(path.constData(), &named) != 0) return false;
  return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

QByteArray nativeFolder() { return QFile::encodeName(SetupPaths::privateFolderPath().chopped(1)); }

}  // namespace

Result tryLock() {
  if (held()) return Result::Held;
  for (int attempt = 0; attempt < kRetakes; ++attempt) {
    if (SetupPaths::privateTempFolder().isEmpty()) return Result::Unsafe;
    const QByteArray path = nativeFolder();
    UniqueFd folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
      if (errno == ENOENT) continue;
      return Result::Unsafe;
    }
    if (::flock(folder.get(), LOCK_EX | LOCK_NB) != 0)
      return errno == EWOULDBLOCK ? Result::Busy : Result::Unsafe;
    // The run before us may have removed the folder we locked as it left.
    if (!sameFolder(folder.get(), path) || !SetupPaths::isSafePrivateFolder(folder.get())) continue;
    heldFolder() = std::move(folder);
    return Result::Held;
  }
  return Result::Busy;
}

Result lockWithin(const QDeadlineTimer& deadline, const std::atomic<bool>& stop) {
  while (true) {
    const Result result = tryLock();
    if (result != Result::Busy) return result;
    if (stop) return Result::Stopped;
    if (deadline.hasExpired()) return Result::Busy;
    QThread::msleep(kPollMilliseconds);
  }
}

bool held() { return heldFolder().valid(); }

void removeIfEmpty() {
  // The holder removes it as it lets go; a run that holds nothing takes it first.
  if (held() || tryLock() != Result::Held) return;
  release();
}

void release() {
  if (!held()) return;
  const QByteArray path = nativeFolder();
  if (sameFolder(heldFolder().get(), path)) ::rmdir(path.constData());
  heldFolder().reset();
}

}  // namespace PrivateFolderLock
