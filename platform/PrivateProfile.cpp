#include "PrivateProfile.h"

#include <sys/stat.h>

#include <QFile>
#include <QHash>
#include <QMutex>
#include <atomic>
#include <memory>
#include <optional>

#include "Ansi.h"
#include "FileStamp.h"

namespace PrivateProfile {

namespace {

// Keys by folded name, and sections of one name taken together: the first
// value of a key in the file is the one found.
using Section = QHash<QString, QString>;

// A file as it was read, with what tells whether it changed since.
struct ReadFile {
  QHash<QString, Section> sections;
  FileStamp stamp;
  size_t contentHash = 0;
  // The stamp alone cannot tell a change made in the clock tick it was taken in.
  bool unsettled = false;
};

// A reading that the snapshots of a file hold on to.
struct Held {
  int snapshots = 0;
  std::shared_ptr<ReadFile> read;
};

// The last reading of every file the process has read, by path.
struct Cache {
  QMutex mutex;
  QHash<QString, std::shared_ptr<ReadFile>> files;
  QHash<QString, Held> held;
};

Cache& cache() {
  static Cache files;
  return files;
}

std::atomic<int> reads{0};

QHash<QString, Section> parse(QByteArrayView bytes) {
  QHash<QString, Section> sections;
  QString section;
  bool inSection = false;
  for (qsizetype at = 0; at <= bytes.size();) {
    qsizetype end = bytes.indexOf('\n', at);
    if (end < 0) end = bytes.size();
    const QString line = fromAnsi(bytes.data() + at, end - at).trimmed();
    at = end + 1;
    if (line.startsWith('[')) {
      const qsizetype close = line.indexOf(']');
      section = line.mid(1, close < 0 ? -1 : close - 1).trimmed().toCaseFolded();
      inSection = true;
      continue;
    }
    if (!inSection || line.startsWith(';')) continue;
    const qsizetype equals = line.indexOf('=');
    if (equals < 0) continue;
    Section& keys = sections[section];
    const QString key = line.left(equals).trimmed().toCaseFolded();
    if (!keys.contains(key)) keys.insert(key, line.mid(equals + 1).trimmed());
  }
  return sections;
}

std::shared_ptr<ReadFile> readFile(const QString& path) {
  const timespec lookedAt = fileClockNow();
  QFile in(path);
  struct stat st {};
  if (!in.open(QIODevice::ReadOnly) || ::fstat(in.handle(), &st) != 0) return nullptr;
  const QByteArray bytes = in.readAll();
  if (in.error() != QFileDevice::NoError) return nullptr;
  ++reads;
  auto read = std::make_shared<ReadFile>();
  read->sections = parse(bytes);
  read->stamp = stampOf(st);
  read->contentHash = contentHash(bytes);
  read->unsettled = mayHideAChange(read->stamp, lookedAt);
  return read;
}

// The file as it is on disk, read again only when it changed; nullptr when it
// cannot be read. Call with the cache held.
std::shared_ptr<ReadFile> onDisk(const QString& path) {
  QHash<QString, std::shared_ptr<ReadFile>>& files = cache().files;
  const QByteArray nativePath = QFile::encodeName(path);
  struct stat st {};
  const std::shared_ptr<ReadFile> cached = files.value(path);
  if (cached && ::stat(nativePath.constData(), &st) == 0 && stampOf(st) == cached->stamp &&
      (!cached->unsettled ||
       fileStillHolds(nativePath, cached->stamp, cached->contentHash, cached->unsettled)))
    return cached;
  std::shared_ptr<ReadFile> fresh = readFile(path);
  if (fresh)
    files.insert(path, fresh);
  else
    files.remove(path);
  return fresh;
}

std::shared_ptr<const ReadFile> current(const QString& path) {
  QMutexLocker lock(&cache().mutex);
  const Held held = cache().held.value(path);
  return held.read ? held.read : onDisk(path);
}

std::optional<QString> findValue(const QString& section, const QString& key, const QString& file) {
  const std::shared_ptr<const ReadFile> read = current(file);
  if (!read) return std::nullopt;
  const auto keys = read->sections.constFind(section.toCaseFolded());
  if (keys == read->sections.constEnd()) return std::nullopt;
  const auto value = keys->constFind(key.toCaseFolded());
  if (value == keys->constEnd()) return std::nullopt;
  return *value;
}

}  // namespace

int getString(const QString& section, const QString& key, const QString& defaultValue, QString& result,
              int bufferSize, const QString& file) {
  if (bufferSize <= 0) {
    result.clear();
    return 0;
  }
  result = findValue(section, key, file).value_or(defaultValue).left(bufferSize - 1);
  return int(result.size());
}

Snapshot::Snapshot(const QString& file) : file_(file) {
  QMutexLocker lock(&cache().mutex);
  Held& held = cache().held[file_];
  if (held.snapshots++ == 0) held.read = onDisk(file_);
}

Snapshot::~Snapshot() {
  QMutexLocker lock(&cache().mutex);
  Held& held = cache().held[file_];
  if (--held.snapshots == 0) cache().held.remove(file_);
}

int readCount() { return reads; }

}  // namespace PrivateProfile
