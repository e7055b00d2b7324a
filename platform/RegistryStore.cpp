#include "RegistryStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QMutex>
#include <algorithm>
#include <atomic>
#include <cerrno>

#include "Ansi.h"

namespace {

const QByteArray kHeader = "REGEDIT4";
const QByteArray kEol = "\r\n";

QString foldedPath(const QString& path) { return path.toUpper(); }

// Upper-cases one Windows-1252 byte, so that names are compared without
// decoding them: ASCII, the accented letters and the few pairs above 0x80.
struct AnsiFold {
  char upper[256];
  AnsiFold() {
    for (int c = 0; c < 256; ++c) upper[c] = static_cast<char>(c);
    for (int c = 'a'; c <= 'z'; ++c) upper[c] = static_cast<char>(c - 32);
    for (int c = 0xE0; c <= 0xFE; ++c)
      if (c != 0xF7) upper[c] = static_cast<char>(c - 32);
    for (const auto& [lower, capital] : {std::pair{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}})
      upper[lower] = static_cast<char>(capital);
  }
};

char foldAnsi(char c) {
  static const AnsiFold fold;
  return fold.upper[static_cast<quint8>(c)];
}

bool sameAnsiName(QByteArrayView a, QByteArrayView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (foldAnsi(a[i]) != foldAnsi(b[i])) return false;
  return true;
}

size_t ansiNameHash(QByteArrayView name) {
  size_t hash = 14695981039346656037ull;
  for (const char c : name) hash = (hash ^ static_cast<quint8>(foldAnsi(c))) * 1099511628211ull;
  return hash;
}

// Components joined by single "\": a doubled "\" names the same key as a single one.
QString normalisedPath(const QString& path) {
  return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

// Names are written on one line of the file; a line break would damage it.
bool fitsOnALine(const QString& name) {
  return !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r'));
}

QString lastComponent(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1); }

// An exclusive flock on the lock file beside the store file, held while alive.
class FileLock {
 public:
  explicit FileLock(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    int rc;
    do rc = ::flock(fd_, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    held_ = rc == 0;
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

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
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// Writes the bytes to a temporary file, syncs it and renames it over `path`.
bool replaceFile(const QString& path, const QByteArray& bytes) {
  const QString temporary = path + QStringLiteral(".tmp");
  const QByteArray native = QFile::encodeName(temporary);
  const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(native.constData(), QFile::encodeName(path).constData()) == 0;
  if (!ok) {
    ::unlink(native.constData());
    return false;
  }
  return syncFolder(QFileInfo(path).absolutePath());
}

// A free name beside the file for a copy of it as it was.
QString asideName(const QString& path) {
  const QString stem = path + QStringLiteral(".damaged-") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
  QString aside = stem;
  for (int n = 1; QFileInfo::exists(aside); ++n) aside = stem + QLatin1Char('-') + QString::number(n);
  return aside;
}

// Renames a damaged file to a name of its own beside it; empty when that fails.
QString keepAside(const QString& path) {
  const QString aside = asideName(path);
  return QFile::rename(path, aside) ? aside : QString();
}

// Copies the file to a name of its own beside it; empty when that fails.
QString keepCopy(const QString& path) {
  const QString aside = asideName(path);
  return QFile::copy(path, aside) ? aside : QString();
}

// What tells one state of a file from another: identity, size and modification time.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  qint64 seconds = 0;
  qint64 nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// The stamp of the file at `path`; nothing when there is no such file.
std::optional<FileStamp> currentStamp(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
  return stampOf(st);
}

std::atomic<int> parses{0};

// --- REGEDIT4 text ---

QByteArray escaped(QByteArrayView text) {
  QByteArray out;
  out.reserve(text.size() + 2);
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

QByteArray quoted(QByteArrayView text) { return '"' + escaped(text) + '"'; }

QByteArray hexBytes(QByteArrayView data) {
  static const char digits[] = "0123456789abcdef";
  QByteArray out;
  out.reserve(data.size() * 3);
  for (qsizetype i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    out += digits[static_cast<quint8>(data[i]) >> 4];
    out += digits[static_cast<quint8>(data[i]) & 0xF];
  }
  return out;
}

// A text value that the quoted form can carry: one terminating NUL, no line breaks.
bool isPlainText(QByteArrayView data) {
  if (!data.endsWith('\0')) return false;
  const QByteArrayView body = data.chopped(1);
  return !body.contains('\0') && !body.contains('\r') && !body.contains('\n');
}

QByteArray dataText(quint32 type, QByteArrayView data) {
  if (type == RegType::Sz && isPlainText(data)) return quoted(data.chopped(1));
  if (type == RegType::Dword && data.size() == 4) {
    quint32 number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<quint8>(data[i]);
    return "dword:" + QByteArray::number(number, 16).rightJustified(8, '0');
  }
  if (type == RegType::Binary) return "hex:" + hexBytes(data);
  return "hex(" + QByteArray::number(type, 16) + "):" + hexBytes(data);
}

// Reads a quoted text starting at `pos` (on the opening quote); moves `pos` past the closing quote.
std::optional<QByteArray> readQuoted(QByteArrayView line, qsizetype& pos) {
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  QByteArray out;
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\') {
      if (++pos >= line.size()) return std::nullopt;
      c = line[pos];
    }
    out += c;
  }
  return std::nullopt;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Comma-separated bytes of one or two hex digits, blanks allowed around them.
std::optional<QByteArray> readHexBytes(QByteArrayView text) {
  QByteArray out;
  out.reserve(text.size() / 3 + 1);
  qsizetype pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
  };
  skipBlanks();
  if (pos == text.size()) return out;
  for (;;) {
    skipBlanks();
    int byte = 0;
    int digits = 0;
    for (; pos < text.size() && hexDigit(text[pos]) >= 0; ++pos, ++digits)
      byte = byte * 16 + hexDigit(text[pos]);
    if (digits < 1 || digits > 2) return std::nullopt;
    out += static_cast<char>(byte);
    skipBlanks();
    if (pos == text.size()) return out;
    if (text[pos] != ',') return std::nullopt;
    ++pos;
  }
}

std::optional<RegValue> readData(QByteArrayView text) {
  if (text.startsWith('"')) {
    qsizetype pos = 0;
    const auto body = readQuoted(text, pos);
    if (!body || !text.sliced(pos).trimmed().isEmpty()) return std::nullopt;
    return RegValue{RegType::Sz, *body + '\0'};
  }
  if (text.startsWith("dword:")) {
    const QByteArrayView digits = text.sliced(6).trimmed();
    bool ok = false;
    const quint32 number = digits.toByteArray().toUInt(&ok, 16);
    if (!ok || digits.size() != 8) return std::nullopt;
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return RegValue{RegType::Dword, data};
  }
  quint32 type = RegType::Binary;
  qsizetype colon = 3;
  if (text.startsWith("hex(")) {
    const qsizetype close = text.indexOf("):");
    bool ok = false;
    type = close > 4 ? text.sliced(4, close - 4).toByteArray().toUInt(&ok, 16) : 0;
    if (!ok) return std::nullopt;
    colon = close + 1;
  } else if (!text.startsWith("hex:")) {
    return std::nullopt;
  }
  const auto bytes = readHexBytes(text.sliced(colon + 1));
  if (!bytes) return std::nullopt;
  return RegValue{type, *bytes};
}

}  // namespace

// --- The keys of one root ---

// Names and data of every value live in one byte arena (names in ANSI, as on
// disk), so that a parse costs little more than the file itself.
class RegistryStore::Tree {
 public:
  struct Value {
    quint32 type = 0;
    qint32 nameSize = 0;
    qsizetype nameAt = 0;
    qsizetype dataAt = 0;
    qsizetype dataSize = 0;
  };
  struct Key {
    QString path;
    QList<Value> values;
    // Positions of values by the hash of their folded name; kept only for keys with many values.
    QMultiHash<size_t, qsizetype> byName;
  };

  Tree() { keys_.insert(QString(), Key{}); }

  Key* find(const QString& path) {
    const auto it = keys_.find(foldedPath(path));
    return it == keys_.end() ? nullptr : &*it;
  }
  const Key* find(const QString& path) const {
    const auto it = keys_.constFind(foldedPath(path));
    return it == keys_.cend() ? nullptr : &*it;
  }

  // The key, created with every missing parent; `created` tells whether anything was added.
  Key& create(const QString& path, bool* created = nullptr) {
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QString prefix;
    for (const QString& part : parts) {
      prefix += (prefix.isEmpty() ? QString() : QStringLiteral("\\")) + part;
      if (keys_.contains(foldedPath(prefix))) continue;
      keys_.insert(foldedPath(prefix), Key{prefix, {}, {}});
      if (created) *created = true;
    }
    return *find(prefix);
  }

  bool remove(const QString& path) {
    const QString folded = foldedPath(path);
    if (folded.isEmpty() || !keys_.contains(folded)) return false;
    forget(keys_[folded]);
    keys_.remove(folded);
    const QString below = folded + QLatin1Char('\\');
    for (auto it = keys_.lowerBound(below); it != keys_.end() && it.key().startsWith(below);) {
      forget(*it);
      it = keys_.erase(it);
    }
    return true;
  }

  QStringList subKeys(const QString& path) const {
    const QString folded = foldedPath(path);
    const QString below = folded.isEmpty() ? QString() : folded + QLatin1Char('\\');
    QStringList names;
    for (auto it = keys_.lowerBound(below); it != keys_.cend() && it.key().startsWith(below); ++it) {
      const QString rest = it.key().mid(below.size());
      if (!rest.isEmpty() && !rest.contains(QLatin1Char('\\'))) names.append(lastComponent(it->path));
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
  }

  // Every key, each parent before its sub-keys.
  QList<const Key*> keys() const {
    QList<const Key*> out;
    for (const Key& key : keys_) out.append(&key);
    return out;
  }

  QByteArrayView name(const Value& value) const {
    return {arena_.constData() + value.nameAt, value.nameSize};
  }
  QByteArrayView data(const Value& value) const {
    return {arena_.constData() + value.dataAt, value.dataSize};
  }
  QString nameText(const Value& value) const {
    return fromAnsi(arena_.constData() + value.nameAt, value.nameSize);
  }
  RegValue regValue(const Value& value) const { return {value.type, data(value).toByteArray()}; }

  const Value* findValue(const Key& key, const QString& name) const {
    const qsizetype i = indexOf(key, toAnsi(name));
    return i < 0 ? nullptr : &key.values[i];
  }

  // Sets the value; one that exists (by name, without regard to case) keeps its place and name.
  void setValue(Key& key, QByteArrayView name, quint32 type, QByteArrayView data) {
    const qsizetype i = indexOf(key, name);
    if (i >= 0) {
      Value& value = key.values[i];
      waste_ += value.dataSize;
      value.type = type;
      value.dataAt = append(data);
      value.dataSize = data.size();
      return;
    }
    Value value{type, static_cast<qint32>(name.size()), append(name), 0, data.size()};
    value.dataAt = append(data);
    key.values.append(value);
    if (!key.byName.isEmpty())
      key.byName.insert(ansiNameHash(name), key.values.size() - 1);
    else if (key.values.size() > kIndexFrom)
      reindex(key);
  }

  bool removeValue(Key& key, const QString& name) {
    const qsizetype i = indexOf(key, toAnsi(name));
    if (i < 0) return false;
    waste_ += key.values[i].nameSize + key.values[i].dataSize;
    key.values.removeAt(i);
    if (!key.byName.isEmpty()) reindex(key);
    return true;
  }

  // Drops the bytes of replaced and removed values once they outweigh the rest.
  void compactIfWasteful() {
    if (waste_ < kCompactFrom || waste_ < arena_.size() / 2) return;
    QByteArray fresh;
    fresh.reserve(arena_.size() - waste_);
    for (Key& key : keys_)
      for (Value& value : key.values) {
        const qsizetype nameAt = fresh.size();
        fresh.append(name(value));
        const qsizetype dataAt = fresh.size();
        fresh.append(data(value));
        value.nameAt = nameAt;
        value.dataAt = dataAt;
      }
    arena_ = fresh;
    waste_ = 0;
  }

 private:
  static constexpr qsizetype kIndexFrom = 16;
  static constexpr qsizetype kCompactFrom = 64 * 1024;

  qsizetype append(QByteArrayView bytes) {
    const qsizetype at = arena_.size();
    arena_.append(bytes);
    return at;
  }

  qsizetype indexOf(const Key& key, QByteArrayView name) const {
    const auto same = [&](qsizetype i) { return sameAnsiName(this->name(key.values[i]), name); };
    if (key.byName.isEmpty()) {
      for (qsizetype i = 0; i < key.values.size(); ++i)
        if (same(i)) return i;
      return -1;
    }
    const size_t hash = ansiNameHash(name);
    for (auto it = key.byName.constFind(hash); it != key.byName.cend() && it.key() == hash; ++it)
      if (same(*it)) return *it;
    return -1;
  }

  void reindex(Key& key) const {
    key.byName.clear();
    if (key.values.size() <= kIndexFrom) return;
    for (qsizetype i = 0; i < key.values.size(); ++i) key.byName.insert(ansiNameHash(name(key.values[i])), i);
  }

  void forget(const Key& key) {
    for (const Value& value : key.values) waste_ += value.nameSize + value.dataSize;
  }

  QByteArray arena_;
  qsizetype waste_ = 0;
  QMap<QString, Key> keys_;  // by upper-cased path; "" is the root itself
};

// A parsed file: its keys, the stamp of the file they were read from, and
// whether lines were skipped that the next write would drop.
struct RegistryStore::Parsed {
  Tree tree;
  std::optional<FileStamp> stamp;
  bool skippedLines = false;
};

namespace {

QByteArray serialise(const RegistryStore::Tree& tree, const QString& rootName);

// The unreadable lines of a file, by number (from 1).
using BadLines = QList<qsizetype>;
// Nothing when the text is not registry text at all.
std::optional<RegistryStore::Tree> parse(QByteArrayView text, const QString& rootName, BadLines& bad);

// The last parse of every file the process has read, by path.
struct ParseCache {
  QMutex mutex;
  QHash<QString, RegistryStore::Parsed> files;
};

ParseCache& parseCache() {
  static ParseCache cache;
  return cache;
}

}  // namespace

// --- The store ---

RegistryStore::RegistryStore(quint32 root)
    : root_(root), rootName_(rootName(root)), folder_(folderOf(root)) {}

QString RegistryStore::rootName(quint32 root) {
  switch (root) {
    case 0x80000000:
      return QStringLiteral("HKEY_CLASSES_ROOT");
    case 0x80000001:
      return QStringLiteral("HKEY_CURRENT_USER");
    case 0x80000002:
      return QStringLiteral("HKEY_LOCAL_MACHINE");
    case 0x80000003:
      return QStringLiteral("HKEY_USERS");
    case 0x80000005:
      return QStringLiteral("HKEY_CURRENT_CONFIG");
    default:
      return QString();
  }
}

QString RegistryStore::folderOf(quint32 root) {
  const QString chosen = qEnvironmentVariable("KVT_REGISTRY_DIR");
  if (!chosen.isEmpty()) return chosen;
  if (root == 0x80000002) return QStringLiteral("/etc/kvt");
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  return config + QStringLiteral("/kvt");
}

QString RegistryStore::filePath() const {
  return folder_ + QLatin1Char('/') + rootName_ + QStringLiteral(".reg");
}

int RegistryStore::parseCount() { return parses; }

void RegistryStore::setReporter(std::function<void(const QString&)> reporter) {
  reporter_ = std::move(reporter);
}

void RegistryStore::report(const QString& message) const {
  if (reporter_) reporter_(message);
}

bool RegistryStore::isWritable() const {
  if (::access(QFile::encodeName(folder_).constData(), W_OK | X_OK) != 0) return false;
  const QByteArray file = QFile::encodeName(filePath());
  return ::access(file.constData(), F_OK) != 0 || ::access(file.constData(), W_OK) == 0;
}

RegistryStore::Parsed* RegistryStore::load(bool locked) {
  const QString path = filePath();
  auto& files = parseCache().files;
  const std::optional<FileStamp> now = currentStamp(path);
  Parsed& parsed = files[path];
  if (!now) {
    parsed = Parsed{};
    return &parsed;
  }
  if (parsed.stamp == now) return &parsed;
  files.remove(path);

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  struct stat st {};
  if (::fstat(file.handle(), &st) != 0) return nullptr;
  const QByteArray text = file.readAll();
  file.close();
  ++parses;
  BadLines bad;
  auto tree = parse(text, rootName_, bad);
  if (tree) {
    for (const qsizetype line : bad)
      report(QStringLiteral("RegistryStore-Load: Line ") + QString::number(line) + QStringLiteral(" of ") +
             path + QStringLiteral(" cannot be read and is skipped."));
    Parsed& fresh = files[path];
    fresh = Parsed{std::move(*tree), stampOf(st), !bad.isEmpty()};
    return &fresh;
  }
  const QString aside = locked ? keepAside(path) : QString();
  if (aside.isEmpty()) {
    report(QStringLiteral("RegistryStore-Load: Damaged registry file ") + path +
           QStringLiteral(" could not be kept aside."));
    return nullptr;
  }
  report(QStringLiteral("RegistryStore-Load: Damaged registry file kept as ") + aside + QLatin1Char('.'));
  Parsed& empty = files[path];
  empty = Parsed{};
  return &empty;
}

// Lines that could not be read would be gone after this write: the file as it
// was is kept beside it first.
bool RegistryStore::writeFile(Parsed& parsed) {
  if (parsed.skippedLines) {
    const QString copy = keepCopy(filePath());
    if (copy.isEmpty()) {
      report(QStringLiteral("RegistryStore-Write: Registry file ") + filePath() +
             QStringLiteral(" with unreadable lines could not be copied; nothing is written."));
      return false;
    }
    report(QStringLiteral("RegistryStore-Write: Registry file with unreadable lines kept as ") + copy +
           QLatin1Char('.'));
  }
  if (!replaceFile(filePath(), serialise(parsed.tree, rootName_))) return false;
  parsed.skippedLines = false;
  parsed.stamp = currentStamp(filePath());
  return parsed.stamp.has_value();
}

bool RegistryStore::update(const std::function<bool(Tree&, bool&)>& change) {
  if (rootName_.isEmpty() || !QDir().mkpath(folder_)) return false;
  QMutexLocker cacheLock(&parseCache().mutex);
  FileLock lock(filePath() + QStringLiteral(".lock"));
  if (!lock.held() || !isWritable()) return false;
  Parsed* parsed = load(true);
  if (!parsed) return false;
  bool changed = false;
  const bool ok = change(parsed->tree, changed);
  if (!changed) return ok;
  // The parse now holds what the file does not: a failed write must not be served.
  if (!ok || !writeFile(*parsed)) {
    parseCache().files.remove(filePath());
    return false;
  }
  parsed->tree.compactIfWasteful();
  return true;
}

bool RegistryStore::inspect(const std::function<void(const Tree&)>& read) {
  if (rootName_.isEmpty()) return false;
  if (!QFileInfo(folder_).isDir()) {
    read(Tree());
    return true;
  }
  QMutexLocker cacheLock(&parseCache().mutex);
  const Parsed* parsed = nullptr;
  const auto cached = parseCache().files.constFind(filePath());
  if (cached != parseCache().files.cend() && cached->stamp && cached->stamp == currentStamp(filePath())) {
    parsed = &*cached;
  } else {
    FileLock lock(filePath() + QStringLiteral(".lock"));
    parsed = load(lock.held());
  }
  if (!parsed) return false;
  read(parsed->tree);
  return true;
}

bool RegistryStore::openKey(const QString& path, bool forWrite) {
  const auto create = [&](Tree& tree, bool& changed) {
    tree.create(path, &changed);
    return true;
  };
  if (!fitsOnALine(path)) return false;
  if (forWrite) return update(create);
  bool exists = false;
  if (!inspect([&](const Tree& tree) { exists = tree.find(normalisedPath(path)) != nullptr; })) return false;
  // Reading creates a missing key only where the store can already be written.
  return exists || (QFileInfo(folder_).isDir() && isWritable() && update(create));
}

std::optional<RegValue> RegistryStore::queryValue(const QString& path, const QString& name) {
  std::optional<RegValue> result;
  inspect([&](const Tree& tree) {
    const Tree::Key* key = tree.find(normalisedPath(path));
    const Tree::Value* value = key ? tree.findValue(*key, name) : nullptr;
    if (value) result = tree.regValue(*value);
  });
  return result;
}

bool RegistryStore::setValue(const QString& path, const QString& name, const RegValue& value) {
  if (!fitsOnALine(path) || !fitsOnALine(name)) return false;
  return update([&](Tree& tree, bool& changed) {
    tree.setValue(tree.create(path), toAnsi(name), value.type, value.data);
    changed = true;
    return true;
  });
}

QList<std::pair<QString, RegValue>> RegistryStore::values(const QString& path) {
  QList<std::pair<QString, RegValue>> result;
  inspect([&](const Tree& tree) {
    if (const Tree::Key* key = tree.find(normalisedPath(path)))
      for (const Tree::Value& value : key->values)
        result.append({tree.nameText(value), tree.regValue(value)});
  });
  return result;
}

QStringList RegistryStore::subKeys(const QString& path) {
  QStringList result;
  inspect([&](const Tree& tree) {
    if (tree.find(normalisedPath(path))) result = tree.subKeys(normalisedPath(path));
  });
  return result;
}

bool RegistryStore::deleteValue(const QString& path, const QString& name) {
  return update([&](Tree& tree, bool& changed) {
    Tree::Key* key = tree.find(normalisedPath(path));
    changed = key && tree.removeValue(*key, name);
    return changed;
  });
}

bool RegistryStore::deleteKey(const QString& path) {
  return update([&](Tree& tree, bool& changed) {
    changed = tree.remove(normalisedPath(path));
    return changed;
  });
}

std::optional<RegKeyInfo> RegistryStore::keyInfo(const QString& path) {
  std::optional<RegKeyInfo> result;
  inspect([&](const Tree& tree) {
    const Tree::Key* key = tree.find(normalisedPath(path));
    if (!key) return;
    RegKeyInfo info;
    const QStringList subKeys = tree.subKeys(normalisedPath(path));
    info.subKeys = subKeys.size();
    for (const QString& name : subKeys)
      info.longestSubKeyName = std::max<int>(info.longestSubKeyName, name.size());
    info.values = key->values.size();
    for (const Tree::Value& value : key->values) {
      info.longestValueName = std::max<int>(info.longestValueName, value.nameSize);
      info.longestValueData = std::max<int>(info.longestValueData, value.dataSize);
    }
    result = info;
  });
  return result;
}

namespace {

QByteArray keyHeader(const QString& rootName, const QString& path) {
  return '[' + toAnsi(path.isEmpty() ? rootName : rootName + QLatin1Char('\\') + path) + ']' + kEol;
}

QByteArray serialise(const RegistryStore::Tree& tree, const QString& rootName) {
  QByteArray out = kHeader + kEol;
  for (const RegistryStore::Tree::Key* key : tree.keys()) {
    if (key->path.isEmpty() && key->values.isEmpty()) continue;
    out += kEol + keyHeader(rootName, key->path);
    for (const RegistryStore::Tree::Value& value : key->values) {
      const QByteArrayView name = tree.name(value);
      out += name.isEmpty() ? QByteArray("@") : quoted(name);
      out += '=' + dataText(value.type, tree.data(value)) + kEol;
    }
  }
  return out + kEol;
}

// A `"name"=data` or `@=data` line split into the name (ANSI) and the data text.
struct ValueLine {
  QByteArray name;
  QByteArrayView data;
};

std::optional<ValueLine> splitValueLine(QByteArrayView line) {
  ValueLine parts;
  qsizetype pos = 1;
  if (line.startsWith('"')) {
    pos = 0;
    const auto quotedName = readQuoted(line, pos);
    if (!quotedName) return std::nullopt;
    parts.name = *quotedName;
  } else if (!line.startsWith('@')) {
    return std::nullopt;
  }
  if (pos >= line.size() || line[pos] != '=') return std::nullopt;
  parts.data = line.sliced(pos + 1).trimmed();
  return parts;
}

// A value line whose hex data goes on in the next line.
bool continues(QByteArrayView line) {
  if (!line.endsWith('\\')) return false;
  const auto parts = splitValueLine(line);
  return parts && parts->data.startsWith("hex");
}

// The key path named by a "[...]" line, or nothing when it lies under another root.
std::optional<QString> readKeyHeader(QByteArrayView line, const QString& rootName) {
  const QString inside = fromAnsi(line.data() + 1, line.size() - 2);
  if (inside.compare(rootName, Qt::CaseInsensitive) == 0) return QString();
  const QString prefix = rootName + QLatin1Char('\\');
  if (!inside.startsWith(prefix, Qt::CaseInsensitive)) return std::nullopt;
  return normalisedPath(inside.mid(prefix.size()));
}

// Reads one `"name"=data` or `@=data` line into the key.
bool readValueLine(QByteArrayView line, RegistryStore::Tree& tree, RegistryStore::Tree::Key& key) {
  const auto parts = splitValueLine(line);
  const auto value = parts ? readData(parts->data) : std::nullopt;
  if (!value) return false;
  tree.setValue(key, parts->name, value->type, value->data);
  return true;
}

// Walks the logical lines of the text: each physical line trimmed, and the
// continuation lines of long hex data joined on (in time linear in their length).
template <typename Fn>
void forEachLogicalLine(QByteArrayView text, Fn&& handle) {
  QByteArray joined;
  qsizetype joinedFrom = 0;
  bool joining = false;
  qsizetype number = 0;
  for (qsizetype pos = 0; pos <= text.size();) {
    qsizetype end = text.indexOf('\n', pos);
    if (end < 0) end = text.size();
    const QByteArrayView line = text.sliced(pos, end - pos).trimmed();
    ++number;
    pos = end + 1;
    if (joining) {
      joined.append(line);
      if (joined.endsWith('\\')) {
        joined.chop(1);
        continue;
      }
      joining = false;
      handle(QByteArrayView(joined), joinedFrom);
    } else if (continues(line)) {
      joined = line.chopped(1).toByteArray();
      joinedFrom = number;
      joining = true;
    } else {
      handle(line, number);
    }
  }
  if (joining) handle(QByteArrayView(joined), joinedFrom);
}

std::optional<RegistryStore::Tree> parse(QByteArrayView text, const QString& rootName, BadLines& bad) {
  RegistryStore::Tree tree;
  bool sawHeader = false;
  bool notRegistryText = false;
  RegistryStore::Tree::Key* current = nullptr;
  forEachLogicalLine(text, [&](QByteArrayView line, qsizetype number) {
    if (notRegistryText || line.isEmpty() || line.startsWith(';')) return;
    if (!sawHeader) {
      sawHeader = line == kHeader;
      notRegistryText = !sawHeader;
    } else if (line.startsWith('[') && line.endsWith(']')) {
      const auto path = readKeyHeader(line, rootName);
      current = path ? &tree.create(*path) : nullptr;
      if (!path) bad.append(number);
    } else if (!current || !readValueLine(line, tree, *current)) {
      bad.append(number);
    }
  });
  if (!sawHeader) return std::nullopt;
  return tree;
}

}  // namespace
