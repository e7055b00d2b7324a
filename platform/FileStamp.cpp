#include "FileStamp.h"

#include <fcntl.h>
#include <unistd.h>

#include <QHashFunctions>
#include <algorithm>
#include <cerrno>
#include <utility>

FileStamp stampOf(const struct stat& st) {
  return {st.st_dev,          st.st_ino,         st.st_size,        st.st_mtim.tv_sec,
          st.st_mtim.tv_nsec, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
}

timespec fileClockNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}

bool mayHideAChange(const FileStamp& stamp, const timespec& lookedAt) {
  const bool wholeSeconds = stamp.changedNanoseconds == 0 && stamp.modifiedNanoseconds == 0;
  if (wholeSeconds) return lookedAt.tv_sec < stamp.changedSeconds + 2;
  return std::pair<qint64, qint64>(lookedAt.tv_sec, lookedAt.tv_nsec) <=
         std::pair<qint64, qint64>(stamp.changedSeconds, stamp.changedNanoseconds);
}

qsizetype readBlock(int fd, char* to, qsizetype size) {
  qsizetype done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, to + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

size_t hashBlock(QByteArrayView block, size_t hash) { return qHash(block, hash); }

size_t contentHash(QByteArrayView bytes) {
  size_t hash = 0;
  for (qsizetype at = 0; at < bytes.size(); at += kFileBlock)
    hash = hashBlock(bytes.sliced(at, std::min(kFileBlock, bytes.size() - at)), hash);
  return hash;
}

namespace {

bool holdsSameBytes(int fd, const FileStamp& stamp, size_t hash) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || stampOf(st) != stamp) return false;
  QByteArray block(kFileBlock, Qt::Uninitialized);
  size_t seen = 0;
  for (;;) {
    const qsizetype n = readBlock(fd, block.data(), kFileBlock);
    if (n < 0) return false;
    if (n > 0) seen = hashBlock(QByteArrayView(block).first(n), seen);
    if (n < kFileBlock) return seen == hash;
  }
}

}  // namespace

bool fileStillHolds(const QByteArray& nativePath, const FileStamp& stamp, size_t hash, bool& unsettled) {
  const timespec lookedAt = fileClockNow();
  const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool holds = holdsSameBytes(fd, stamp, hash);
  ::close(fd);
  if (holds) unsettled = mayHideAChange(stamp, lookedAt);
  return holds;
}
