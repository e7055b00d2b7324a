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
#include <QRecursiveMutex>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <limits>
#include <memory>
#include <utility>

#include "Ansi.h"
#include "FileStamp.h"
#include "ReplaceFile.h"

namespace {

const QByteArray kHeader = "REGEDIT4";
const QByteArray kEol = "\r\n";
// The most bytes one name or one value's data may hold.
constexpr qsizetype kMostBytes = std::numeric_limits<qint32>::max();

// Upper-cases one Windows-1252 byte, so that names are compared without
// decoding them: ASCII, the accented letters and the few pairs above 0x80.
struct AnsiFold {
  char upper[256]{};
  constexpr AnsiFold() {
    for (int c = 0; c < 256; ++c) upper[c] = static_cast<char>(c);
    for (int c = 'a'; c <= 'z'; ++c) upper[c] = static_cast<char>(c - 32);
    for (int c = 0xE0; c <= 0xFE; ++c)
      if (c != 0xF7) upper[c] = static_cast<char>(c - 32);
    for (const auto& [lower, capital] : {std::pair{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}})
      upper[lower] = static_cast<char>(capital);
  }
};

constexpr AnsiFold kAnsiFold;

char foldAnsi(char c) { return kAnsiFold.upper[static_cast<quint8>(c)]; }

// From the end: names of one key mostly differ in their last characters ("Value 1", "Value 2").
bool sameAnsiName(QByteArrayView a, QByteArrayView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = a.size() - 1; i >= 0; --i)
    if (a[i] != b[i] && foldAnsi(a[i]) != foldAnsi(b[i])) return false;
  return true;
}

constexpr size_t kHashBasis = 14695981039346656037ull;

size_t ansiNameHash(QByteArrayView name, size_t hash = kHashBasis) {
  for (const char c : name) hash = (hash ^ static_cast<quint8>(foldAnsi(c))) * 1099511628211ull;
  return hash;
}

// Names are written on one line of the file; a line break would damage it.
bool fitsOnALine(const QString& name) {
  return !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r'));
}

// Calls `handle` with every non-empty component of a "\"-separated path, until it returns false.
template <typename Fn>
bool forEachComponent(QByteArrayView path, Fn&& handle) {
  for (qsizetype from = 0; from < path.size();) {
    qsizetype end = path.indexOf('\\', from);
    if (end < 0) end = path.size();
    if (end > from && !handle(path.sliced(from, end - from))) return false;
    from = end + 1;
  }
  return true;
}

// Indexes found by hash: open addressing over a power-of-two table kept at most half full.
class HashIndex {
 public:
  // The first index for which `same` holds among those stored under `hash`; -1 when none.
  template <typename Same>
  qint32 find(size_t hash, Same&& same) const {
    if (slots_.isEmpty()) return -1;
    for (size_t i = slotOf(hash);; i = (i + 1) & mask()) {
      if (slots_[i] < 0) return -1;
      if (same(slots_[i])) return slots_[i];
    }
  }

  // `hashOf` gives the hash of an index already stored, for when the table grows.
  template <typename HashOf>
  void insert(size_t hash, qint32 index, HashOf&& hashOf) {
    if (2 * (used_ + 1) > slots_.size()) {
      const QList<qint32> old =
          std::exchange(slots_, QList<qint32>(std::max<qsizetype>(16, 2 * slots_.size()), -1));
      bits_ = 0;
      while ((qsizetype(1) << bits_) < slots_.size()) ++bits_;
      for (const qint32 kept : old)
        if (kept >= 0) place(hashOf(kept), kept);
    }
    place(hash, index);
    ++used_;
  }

 private:
  size_t mask() const { return size_t(slots_.size()) - 1; }
  size_t slotOf(size_t hash) const { return (hash * 0x9E3779B97F4A7C15ull) >> (64 - bits_); }
  void place(size_t hash, qint32 index) {
    size_t i = slotOf(hash);
    while (slots_[i] >= 0) i = (i + 1) & mask();
    slots_[i] = index;
  }

  QList<qint32> slots_;
  qsizetype used_ = 0;
  int bits_ = 0;
};

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

void appendQuoted(QByteArray& out, QByteArrayView text) {
  out += '"';
  out += escaped(text);
  out += '"';
}

void appendHexBytes(QByteArray& out, QByteArrayView data) {
  static const char digits[] = "0123456789abcdef";
  for (qsizetype i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    out += digits[static_cast<quint8>(data[i]) >> 4];
    out += digits[static_cast<quint8>(data[i]) & 0xF];
  }
}

// A text value that the quoted form can carry: one terminating NUL, no line breaks.
bool isPlainText(QByteArrayView data) {
  if (!data.endsWith('\0')) return false;
  const QByteArrayView body = data.chopped(1);
  return !body.contains('\0') && !body.contains('\r') && !body.contains('\n');
}

void appendData(QByteArray& out, quint32 type, QByteArrayView data) {
  if (type == RegType::Sz && isPlainText(data)) return appendQuoted(out, data.chopped(1));
  if (type == RegType::Dword && data.size() == 4) {
    quint32 number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<quint8>(data[i]);
    out += "dword:" + QByteArray::number(number, 16).rightJustified(8, '0');
    return;
  }
  out += type == RegType::Binary ? QByteArray("hex:") : "hex(" + QByteArray::number(type, 16) + "):";
  appendHexBytes(out, data);
}

// Skips a quoted text starting at `pos` (on the opening quote), appending it
// unescaped to `out` when given; moves `pos` past the closing quote.
bool readQuoted(QByteArrayView line, qsizetype& pos, QByteArray* out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  for (++pos;;) {
    const QByteArrayView rest = line.sliced(pos);
    const qsizetype quote = rest.indexOf('"');
    const qsizetype backslash = rest.first(quote < 0 ? rest.size() : quote).indexOf('\\');
    const qsizetype end = pos + (backslash >= 0 ? backslash : quote >= 0 ? quote : rest.size());
    if (out) out->append(line.sliced(pos, end - pos));
    if (end >= line.size()) return false;
    if (line[end] == '"') {
      pos = end + 1;
      return true;
    }
    // A backslash takes the character after it as it stands.
    if (end + 1 >= line.size()) return false;
    if (out) out->append(line[end + 1]);
    pos = end + 2;
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Comma-separated bytes of one or two hex digits, blanks allowed around them.
bool readHexBytes(QByteArrayView text, QByteArray& out) {
  // Room for every byte the text can hold, given back once they are known.
  const qsizetype start = out.size();
  out.resize(start + text.size() / 2 + 1);
  char* to = out.data() + start;
  qsizetype pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
  };
  const auto done = [&](bool ok) {
    out.truncate(ok ? to - out.constData() : start);
    return ok;
  };
  skipBlanks();
  if (pos == text.size()) return done(true);
  for (;;) {
    skipBlanks();
    int byte = 0;
    int digits = 0;
    for (; pos < text.size() && hexDigit(text[pos]) >= 0 && digits < 3; ++pos, ++digits)
      byte = byte * 16 + hexDigit(text[pos]);
    if (digits < 1 || digits > 2) return done(false);
    *to++ = static_cast<char>(byte);
    skipBlanks();
    if (pos == text.size()) return done(true);
    if (text[pos] != ',') return done(false);
    ++pos;
  }
}

// Appends the bytes of a value's data text to `out`; its type, or nothing when it cannot be read.
std::optional<quint32> readData(QByteArrayView text, QByteArray& out) {
  if (text.startsWith('"')) {
    qsizetype pos = 0;
    if (!readQuoted(text, pos, &out) || !text.sliced(pos).trimmed().isEmpty()) return std::nullopt;
    out.append('\0');
    return RegType::Sz;
  }
  if (text.startsWith("dword:")) {
    const QByteArrayView digits = text.sliced(6).trimmed();
    bool ok = false;
    const quint32 number = digits.toUInt(&ok, 16);
    if (!ok || digits.size() != 8) return std::nullopt;
    for (int i = 0; i < 4; ++i) out.append(static_cast<char>((number >> (8 * i)) & 0xFF));
    return RegType::Dword;
  }
  quint32 type = RegType::Binary;
  qsizetype colon = 3;
  if (text.startsWith("hex(")) {
    const qsizetype close = text.indexOf("):");
    bool ok = false;
    type = close > 4 ? text.sliced(4, close - 4).toUInt(&ok, 16) : 0;
    if (!ok) return std::nullopt;
    colon = close + 1;
  } else if (!text.startsWith("hex:")) {
    return std::nullopt;
  }
  if (!readHexBytes(text.sliced(colon + 1), out)) return std::nullopt;
  return type;
}

// The data text of a `"name"=data` or `@=data` line, or nothing when it is no such line.
std::optional<QByteArrayView> dataTextOf(QByteArrayView line) {
  qsizetype pos = 1;
  if (line.startsWith('"')) {
    pos = 0;
    if (!readQuoted(line, pos, nullptr)) return std::nullopt;
  } else if (!line.startsWith('@')) {
    return std::nullopt;
  }
  if (pos >= line.size() || line[pos] != '=') return std::nullopt;
  return line.sliced(pos + 1).trimmed();
}

}  // namespace

// --- The keys of one root ---

// Names of keys and names and data of values live in one byte arena (in ANSI,
// as on disk); keys and values are small records linked by position, found
// through hash indexes, so that a parse costs little more than the file itself.
class RegistryStore::Tree {
 public:
  static constexpr qint32 kNone = -1;
  static constexpr qint32 kRoot = 0;
  static constexpr int kDeepest = 512;

  // The name, then the data, side by side in the arena.
  struct Value {
    qint64 at = 0;
    quint32 nameSize = 0;
    quint32 dataSize = 0;
    quint32 type = 0;
    qint32 next = kNone;
  };
  struct Key {
    qint64 nameAt = 0;
    quint32 nameSize = 0;
    qint32 parent = kNone;
    qint32 firstChild = kNone;
    qint32 lastChild = kNone;
    qint32 nextSibling = kNone;
    qint32 firstValue = kNone;
    qint32 lastValue = kNone;
    qint32 valueCount = 0;
  };

  Tree() { keys_.append(Key{}); }

  // The key at the path (components in ANSI); kNone when there is none.
  qint32 find(QByteArrayView path) const {
    qint32 key = kRoot;
    const bool found = forEachComponent(path, [&](QByteArrayView name) {
      key = child(key, name);
      return key != kNone;
    });
    return found ? key : kNone;
  }

  // The key, created with every missing parent; `created` tells whether anything was added.
  // A path deeper than the registry allows creates nothing (kNone): every level is
  // written with its full path, so a hostile depth would make the file grow with its square.
  qint32 create(QByteArrayView path, bool* created = nullptr) {
    int depth = 0;
    forEachComponent(path, [&](QByteArrayView) { return ++depth <= kDeepest; });
    if (depth > kDeepest) return kNone;
    qint32 key = kRoot;
    forEachComponent(path, [&](QByteArrayView name) {
      const qint32 existing = child(key, name);
      if (existing == kNone && created) *created = true;
      key = existing != kNone ? existing : addKey(key, name);
      return true;
    });
    return key;
  }

  // Takes the key and all below it; the root itself stays.
  bool remove(qint32 key) {
    if (key == kRoot || key == kNone) return false;
    *this = copyWithout(key);
    return true;
  }

  const Key& key(qint32 key) const { return keys_[key]; }
  QByteArrayView keyName(qint32 key) const { return view(keys_[key].nameAt, keys_[key].nameSize); }
  QByteArrayView name(const Value& value) const { return view(value.at, value.nameSize); }
  QByteArrayView data(const Value& value) const { return view(value.at + value.nameSize, value.dataSize); }

  template <typename Fn>
  void forEachValue(qint32 key, Fn&& handle) const {
    for (qint32 v = keys_[key].firstValue; v != kNone; v = values_[v].next) handle(values_[v]);
  }
  template <typename Fn>
  void forEachChild(qint32 key, Fn&& handle) const {
    for (qint32 c = keys_[key].firstChild; c != kNone; c = keys_[c].nextSibling) handle(c);
  }

  // The sub-keys in the order they are listed and written: by name, without regard to case.
  QList<std::pair<QString, qint32>> sortedChildren(qint32 key) const {
    QList<std::pair<QString, qint32>> children;
    forEachChild(key, [&](qint32 c) {
      children.append({fromAnsi(keyName(c).data(), keyName(c).size()), c});
    });
    std::stable_sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
      return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    return children;
  }

  const Value* findValue(qint32 key, QByteArrayView name) const {
    const qint32 v = indexOf(key, name);
    return v == kNone ? nullptr : &values_[v];
  }

  // Sets the value; one that exists (by name, without regard to case) keeps its place and name.
  bool setValue(qint32 key, QByteArrayView name, quint32 type, QByteArrayView data) {
    if (name.size() > kMostBytes || data.size() > kMostBytes) return false;
    const qsizetype at = arena_.size();
    arena_.append(name);
    arena_.append(data);
    adopt(key, at, name.size(), type);
    return true;
  }

  // Reads a `"name"=data` or `@=data` line into the key, straight into the arena.
  bool readValueLine(qint32 key, QByteArrayView line) {
    const qsizetype at = arena_.size();
    qsizetype pos = 1;
    if (line.startsWith('"')) {
      pos = 0;
      if (!readQuoted(line, pos, &arena_)) return rollBack(at);
    } else if (!line.startsWith('@')) {
      return false;
    }
    const qsizetype nameSize = arena_.size() - at;
    if (pos >= line.size() || line[pos] != '=') return rollBack(at);
    const auto type = readData(line.sliced(pos + 1).trimmed(), arena_);
    if (!type || nameSize > kMostBytes || arena_.size() - at - nameSize > kMostBytes) return rollBack(at);
    adopt(key, at, nameSize, *type);
    return true;
  }

  bool removeValue(qint32 key, QByteArrayView name) {
    const qint32 v = indexOf(key, name);
    if (v == kNone) return false;
    Key& owner = keys_[key];
    qint32 previous = kNone;
    for (qint32 at = owner.firstValue; at != v; at = values_[at].next) previous = at;
    (previous == kNone ? owner.firstValue : values_[previous].next) = values_[v].next;
    if (owner.lastValue == v) owner.lastValue = previous;
    --owner.valueCount;
    waste_ += values_[v].nameSize + values_[v].dataSize + qsizetype(sizeof(Value));
    reindexValues(key);
    return true;
  }

  // Drops the bytes of replaced and removed values once they outweigh the rest.
  void compactIfWasteful() {
    if (waste_ >= kCompactFrom && waste_ >= arena_.size() / 2) *this = copyWithout(kNone);
  }

 private:
  static constexpr qint32 kIndexFrom = 32;
  static constexpr qsizetype kCompactFrom = 64 * 1024;

  QByteArrayView view(qint64 at, quint32 size) const { return {arena_.constData() + at, qsizetype(size)}; }

  static size_t childHash(qint32 parent, QByteArrayView name) {
    return ansiNameHash(name, kHashBasis ^ (size_t(parent) * 0x100000001B3ull));
  }

  qint32 child(qint32 parent, QByteArrayView name) const {
    return keyIndex_.find(childHash(parent, name), [&](qint32 k) {
      return keys_[k].parent == parent && sameAnsiName(keyName(k), name);
    });
  }

  qint32 addKey(qint32 parent, QByteArrayView name) {
    const qint32 key = qint32(keys_.size());
    Key fresh;
    fresh.nameAt = arena_.size();
    fresh.nameSize = quint32(name.size());
    fresh.parent = parent;
    arena_.append(name);
    keys_.append(fresh);
    Key& owner = keys_[parent];
    (owner.lastChild == kNone ? owner.firstChild : keys_[owner.lastChild].nextSibling) = key;
    owner.lastChild = key;
    keyIndex_.insert(childHash(parent, name), key,
                     [&](qint32 k) { return childHash(keys_[k].parent, keyName(k)); });
    return key;
  }

  qint32 indexOf(qint32 key, QByteArrayView name) const {
    const auto same = [&](qint32 v) { return sameAnsiName(this->name(values_[v]), name); };
    const auto index = valueIndexes_.constFind(key);
    if (index != valueIndexes_.cend()) return index->find(ansiNameHash(name), same);
    for (qint32 v = keys_[key].firstValue; v != kNone; v = values_[v].next)
      if (same(v)) return v;
    return kNone;
  }

  // Takes on the name and data just put at the end of the arena as a value of the key.
  void adopt(qint32 key, qsizetype at, qsizetype nameSize, quint32 type) {
    const quint32 dataSize = quint32(arena_.size() - at - nameSize);
    const qint32 existing = indexOf(key, view(at, quint32(nameSize)));
    if (existing != kNone) {
      Value& value = values_[existing];
      // Names that match without regard to case are of the same length: the first spelling stays.
      std::copy_n(arena_.constData() + value.at, nameSize, arena_.data() + at);
      waste_ += value.nameSize + value.dataSize;
      value.at = at;
      value.dataSize = dataSize;
      value.type = type;
      return;
    }
    const qint32 v = qint32(values_.size());
    values_.append(Value{at, quint32(nameSize), dataSize, type, kNone});
    Key& owner = keys_[key];
    (owner.lastValue == kNone ? owner.firstValue : values_[owner.lastValue].next) = v;
    owner.lastValue = v;
    ++owner.valueCount;
    auto index = valueIndexes_.find(key);
    if (index != valueIndexes_.end())
      index->insert(ansiNameHash(name(values_[v])), v,
                    [&](qint32 i) { return ansiNameHash(name(values_[i])); });
    else if (owner.valueCount > kIndexFrom)
      reindexValues(key);
  }

  // Keys with many values find them by hash.
  void reindexValues(qint32 key) {
    valueIndexes_.remove(key);
    if (keys_[key].valueCount <= kIndexFrom) return;
    HashIndex& index = valueIndexes_[key];
    const auto hashOf = [&](qint32 v) { return ansiNameHash(name(values_[v])); };
    forEachValue(key, [&](const Value& value) {
      index.insert(ansiNameHash(name(value)), qint32(&value - values_.constData()), hashOf);
    });
  }

  bool rollBack(qsizetype arenaSize) {
    arena_.truncate(arenaSize);
    return false;
  }

  // A copy of every key but `left` (and those below it), with no wasted bytes.
  Tree copyWithout(qint32 left) const {
    Tree copy;
    QList<std::pair<qint32, qint32>> pending{{kRoot, kRoot}};  // (here, in the copy), depth first
    while (!pending.isEmpty()) {
      const qint32 from = pending.last().first;
      const qint32 to = pending.takeLast().second;
      forEachValue(from,
                   [&](const Value& value) { copy.setValue(to, name(value), value.type, data(value)); });
      QList<std::pair<qint32, qint32>> children;
      forEachChild(from, [&](qint32 c) {
        if (c != left) children.append({c, copy.addKey(to, keyName(c))});
      });
      std::reverse(children.begin(), children.end());
      pending.append(children);
    }
    return copy;
  }

  QByteArray arena_;
  qsizetype waste_ = 0;
  QList<Key> keys_;  // the root first
  QList<Value> values_;
  HashIndex keyIndex_;                     // by parent and name
  QHash<qint32, HashIndex> valueIndexes_;  // by name, for keys with many values
};

namespace {

// Hands on the lines of a file read a block at a time, so that a parse never
// holds the whole text, and hashes what it reads.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // The next line, without its "\n"; false at the end of the file or on a read error.
  bool next(QByteArrayView& line) {
    for (;;) {
      const qsizetype end = buffer_.indexOf('\n', scanned_);
      if (end >= 0) {
        line = QByteArrayView(buffer_).sliced(pos_, end - pos_);
        pos_ = scanned_ = end + 1;
        return true;
      }
      scanned_ = buffer_.size();
      if (atEnd_) {
        if (pos_ == buffer_.size() && !lastLine_) return false;
        // The text after the last line break is a line too, even when empty.
        lastLine_ = false;
        line = QByteArrayView(buffer_).sliced(pos_);
        pos_ = buffer_.size();
        return true;
      }
      fill();
    }
  }

  bool failed() const { return failed_; }
  size_t hash() const { return hash_; }

 private:
  void fill() {
    buffer_.remove(0, pos_);
    scanned_ -= pos_;
    pos_ = 0;
    const qsizetype kept = buffer_.size();
    buffer_.resize(kept + kFileBlock);
    const qsizetype n = readBlock(fd_, buffer_.data() + kept, kFileBlock);
    buffer_.resize(kept + std::max<qsizetype>(n, 0));
    failed_ = n < 0;
    atEnd_ = n < kFileBlock;
    if (n > 0) hash_ = hashBlock(QByteArrayView(buffer_).sliced(kept), hash_);
  }

  int fd_;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  qsizetype scanned_ = 0;
  bool atEnd_ = false;
  bool lastLine_ = true;
  bool failed_ = false;
  size_t hash_ = 0;
};

// An open file descriptor, closed when it goes.
class OpenFile {
 public:
  explicit OpenFile(const QByteArray& path) : fd_(::open(path.constData(), O_RDONLY | O_CLOEXEC)) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// An exclusive flock on the lock file beside the store file, held while alive.
class FileLock {
 public:
  explicit FileLock(const QByteArray& path) {
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) fd_ = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
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

std::atomic<int> parses{0};
std::atomic<int> writes{0};

}  // namespace

// A parsed file: its keys, the stamp and hash of the file they were read from,
// and whether lines were skipped that the next write would drop.
struct RegistryStore::Parsed {
  Tree tree;
  std::optional<FileStamp> stamp;
  size_t contentHash = 0;
  // The stamp alone cannot tell a change made in the clock tick it was taken in.
  bool unsettled = false;
  bool skippedLines = false;
};

struct RegistryStore::Pending {
  // Held from the batch's first look at the file (when its folder exists) to its end.
  std::unique_ptr<FileLock> lock;
  // What the batch's reads see; nullptr until its first look.
  std::shared_ptr<Parsed> parsed;
  // `parsed` is the batch's own copy, no longer the one the cache shares.
  bool copied = false;
  // The lock is held and the file may be written.
  bool writable = false;
  bool changed = false;
  QList<std::function<void()>> whenWritten;
};

namespace {

QByteArray serialise(const RegistryStore::Tree& tree, QByteArrayView rootName);

// The unreadable lines of a file, by number (from 1).
using BadLines = QList<qsizetype>;
// Nothing when the text is not registry text at all.
std::optional<RegistryStore::Tree> parse(LineReader& reader, QByteArrayView rootName, BadLines& bad);

// The last parse of every file the process has read, and the batch that lives, by path.
// A batch holds the mutex while it lives: the batch found is the calling thread's own.
struct ParseCache {
  QRecursiveMutex mutex;
  QHash<QString, std::shared_ptr<RegistryStore::Parsed>> files;
  QHash<QString, std::shared_ptr<RegistryStore::Pending>> batches;
};

ParseCache& parseCache() {
  static ParseCache cache;
  return cache;
}

}  // namespace

// --- The store ---

RegistryStore::RegistryStore(quint32 root)
    : root_(root),
      rootName_(rootName(root)),
      rootAnsi_(rootName_.toLatin1()),
      folder_(folderOf(root)),
      filePath_(folder_ + QLatin1Char('/') + rootName_ + QStringLiteral(".reg")),
      nativePath_(QFile::encodeName(filePath_)),
      lockPath_(nativePath_ + ".lock") {}

RegistryStore::~RegistryStore() = default;

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

QString RegistryStore::filePath() const { return filePath_; }

int RegistryStore::parseCount() { return parses; }

int RegistryStore::writeCount() { return writes; }

void RegistryStore::setReporter(std::function<void(const QString&)> reporter) {
  reporter_ = std::move(reporter);
}

void RegistryStore::report(const QString& message) const {
  if (reporter_) reporter_(message);
}

RegistryStore::Chain::Chain(RegistryStore& store) : store_(store) { ++store_.chains_; }

RegistryStore::Chain::~Chain() {
  if (--store_.chains_ == 0) store_.pinned_.reset();
}

bool RegistryStore::isWritable() const {
  if (::access(QFile::encodeName(folder_).constData(), W_OK | X_OK) != 0) return false;
  return ::access(nativePath_.constData(), F_OK) != 0 || ::access(nativePath_.constData(), W_OK) == 0;
}

bool RegistryStore::stillHolds(Parsed& parsed) const {
  return fileStillHolds(nativePath_, *parsed.stamp, parsed.contentHash, parsed.unsettled);
}

std::shared_ptr<RegistryStore::Parsed> RegistryStore::unchanged() {
  struct stat st {};
  if (::stat(nativePath_.constData(), &st) != 0) return std::make_shared<Parsed>();
  const auto cached = parseCache().files.value(filePath_);
  if (!cached || cached->stamp != stampOf(st)) return nullptr;
  return !cached->unsettled || stillHolds(*cached) ? cached : nullptr;
}

std::shared_ptr<RegistryStore::Parsed> RegistryStore::load(bool locked) {
  if (auto same = unchanged()) return same;
  auto& files = parseCache().files;
  files.remove(filePath_);

  const timespec lookedAt = fileClockNow();
  const OpenFile file(nativePath_);
  struct stat st {};
  if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0) return nullptr;
  ++parses;
  LineReader reader(file.fd());
  BadLines bad;
  auto tree = parse(reader, rootAnsi_, bad);
  if (reader.failed()) return nullptr;
  if (tree) {
    for (const qsizetype line : bad)
      report(QStringLiteral("RegistryStore-Load: Line ") + QString::number(line) + QStringLiteral(" of ") +
             filePath_ + QStringLiteral(" cannot be read and is skipped."));
    const FileStamp stamp = stampOf(st);
    auto fresh = std::make_shared<Parsed>(
        Parsed{std::move(*tree), stamp, reader.hash(), mayHideAChange(stamp, lookedAt), !bad.isEmpty()});
    files.insert(filePath_, fresh);
    return fresh;
  }
  const QString aside = locked ? keepAside(filePath_) : QString();
  if (aside.isEmpty()) {
    report(QStringLiteral("RegistryStore-Load: Damaged registry file ") + filePath_ +
           QStringLiteral(" could not be kept aside."));
    return nullptr;
  }
  report(QStringLiteral("RegistryStore-Load: Damaged registry file kept as ") + aside + QLatin1Char('.'));
  return std::make_shared<Parsed>();
}

// Lines that could not be read would be gone after this write: the file as it
// was is kept beside it first.
bool RegistryStore::writeFile(Parsed& parsed) {
  if (parsed.skippedLines) {
    const QString copy = keepCopy(filePath_);
    if (copy.isEmpty()) {
      report(QStringLiteral("RegistryStore-Write: Registry file ") + filePath_ +
             QStringLiteral(" with unreadable lines could not be copied; nothing is written."));
      return false;
    }
    report(QStringLiteral("RegistryStore-Write: Registry file with unreadable lines kept as ") + copy +
           QLatin1Char('.'));
  }
  const QByteArray bytes = serialise(parsed.tree, rootAnsi_);
  ++writes;
  struct stat st {};
  if (!replaceFile(filePath_, bytes) || ::stat(nativePath_.constData(), &st) != 0) return false;
  parsed.skippedLines = false;
  parsed.stamp = stampOf(st);
  parsed.contentHash = contentHash(bytes);
  // Written just now: the next look must read it to be sure no one changed it in the same tick.
  parsed.unsettled = true;
  return true;
}

std::shared_ptr<RegistryStore::Parsed> RegistryStore::forReading(Pending& batch) {
  if (!batch.parsed) {
    if (!batch.lock && QFileInfo(folder_).isDir()) {
      auto lock = std::make_unique<FileLock>(lockPath_);
      if (lock->held()) batch.lock = std::move(lock);
    }
    batch.parsed = load(batch.lock != nullptr);
  }
  return batch.parsed;
}

std::shared_ptr<RegistryStore::Parsed> RegistryStore::forChange(Pending& batch) {
  if (!batch.writable) {
    if (!batch.lock) {
      if (!QDir().mkpath(folder_)) return nullptr;
      auto lock = std::make_unique<FileLock>(lockPath_);
      if (!lock->held()) return nullptr;
      batch.lock = std::move(lock);
      // What was read without the lock may have changed since.
      batch.parsed.reset();
    }
    batch.writable = isWritable();
  }
  if (!batch.writable || !forReading(batch)) return nullptr;
  if (!batch.copied) {
    // The cache goes on serving the file as it is until the batch is written.
    batch.parsed = std::make_shared<Parsed>(*batch.parsed);
    batch.copied = true;
  }
  return batch.parsed;
}

bool RegistryStore::update(const std::function<bool(Tree&, bool&)>& change) {
  if (rootName_.isEmpty()) return false;
  Batch batch(*this);
  pinned_.reset();
  const std::shared_ptr<Parsed> parsed = forChange(*batch.pending_);
  if (!parsed) return false;
  bool changed = false;
  const bool ok = change(parsed->tree, changed);
  batch.pending_->changed = batch.pending_->changed || changed;
  if (!batch.commit()) return false;
  if (chains_ > 0 && batch.outermost_) pinned_ = forReading(*batch.pending_);
  return ok;
}

bool RegistryStore::inspect(const std::function<void(const Tree&)>& read) {
  if (rootName_.isEmpty()) return false;
  QMutexLocker cacheLock(&parseCache().mutex);
  std::shared_ptr<Parsed> parsed;
  if (const auto batch = parseCache().batches.value(filePath_)) {
    parsed = forReading(*batch);
  } else {
    parsed = pinned_ ? pinned_ : unchanged();
    if (!parsed) {
      FileLock lock(lockPath_);
      parsed = load(lock.held());
    }
    if (parsed && chains_ > 0) pinned_ = parsed;
  }
  if (!parsed) return false;
  read(parsed->tree);
  return true;
}

RegistryStore::Batch::Batch(RegistryStore& store) : store_(store) {
  ParseCache& cache = parseCache();
  cache.mutex.lock();
  std::shared_ptr<Pending>& slot = cache.batches[store_.filePath_];
  outermost_ = !slot;
  if (outermost_) slot = std::make_shared<Pending>();
  pending_ = slot;
}

RegistryStore::Batch::~Batch() {
  ParseCache& cache = parseCache();
  if (outermost_) cache.batches.remove(store_.filePath_);
  pending_.reset();
  cache.mutex.unlock();
}

bool RegistryStore::Batch::commit() {
  Pending& batch = *pending_;
  if (!outermost_) return true;
  if (batch.changed) {
    batch.changed = false;
    batch.copied = false;
    if (!store_.writeFile(*batch.parsed)) {
      batch.parsed.reset();
      batch.whenWritten.clear();
      return false;
    }
    parseCache().files.insert(store_.filePath_, batch.parsed);
    batch.parsed->tree.compactIfWasteful();
  }
  for (const auto& done : std::exchange(batch.whenWritten, {})) done();
  return true;
}

void RegistryStore::Batch::whenWritten(std::function<void()> done) {
  pending_->whenWritten.append(std::move(done));
}

bool RegistryStore::openKey(const QString& path, bool forWrite) {
  if (!fitsOnALine(path)) return false;
  const QByteArray ansiPath = toAnsi(path);
  const auto create = [&](Tree& tree, bool& changed) {
    return tree.create(ansiPath, &changed) != Tree::kNone;
  };
  if (forWrite) return update(create);
  bool exists = false;
  if (!inspect([&](const Tree& tree) { exists = tree.find(ansiPath) != Tree::kNone; })) return false;
  // Reading creates a missing key only where the store can already be written.
  return exists || (QFileInfo(folder_).isDir() && isWritable() && update(create));
}

std::optional<RegValue> RegistryStore::queryValue(const QString& path, const QString& name) {
  std::optional<RegValue> result;
  const QByteArray ansiPath = toAnsi(path);
  const QByteArray ansiName = toAnsi(name);
  inspect([&](const Tree& tree) {
    const qint32 key = tree.find(ansiPath);
    const Tree::Value* value = key != Tree::kNone ? tree.findValue(key, ansiName) : nullptr;
    if (value) result = RegValue{value->type, tree.data(*value).toByteArray()};
  });
  return result;
}

bool RegistryStore::setValue(const QString& path, const QString& name, const RegValue& value) {
  if (!fitsOnALine(path) || !fitsOnALine(name)) return false;
  const QByteArray ansiPath = toAnsi(path);
  const QByteArray ansiName = toAnsi(name);
  return update([&](Tree& tree, bool& changed) {
    const qint32 key = tree.create(ansiPath);
    changed = key != Tree::kNone && tree.setValue(key, ansiName, value.type, value.data);
    return changed;
  });
}

QList<std::pair<QString, RegValue>> RegistryStore::values(const QString& path) {
  QList<std::pair<QString, RegValue>> result;
  const QByteArray ansiPath = toAnsi(path);
  inspect([&](const Tree& tree) {
    const qint32 key = tree.find(ansiPath);
    if (key == Tree::kNone) return;
    result.reserve(tree.key(key).valueCount);
    tree.forEachValue(key, [&](const Tree::Value& value) {
      const QByteArrayView name = tree.name(value);
      result.append(
          {fromAnsi(name.data(), name.size()), RegValue{value.type, tree.data(value).toByteArray()}});
    });
  });
  return result;
}

QStringList RegistryStore::subKeys(const QString& path) {
  QStringList result;
  const QByteArray ansiPath = toAnsi(path);
  inspect([&](const Tree& tree) {
    const qint32 key = tree.find(ansiPath);
    if (key == Tree::kNone) return;
    for (const auto& [name, child] : tree.sortedChildren(key)) result.append(name);
  });
  return result;
}

bool RegistryStore::deleteValue(const QString& path, const QString& name) {
  const QByteArray ansiPath = toAnsi(path);
  const QByteArray ansiName = toAnsi(name);
  return update([&](Tree& tree, bool& changed) {
    const qint32 key = tree.find(ansiPath);
    changed = key != Tree::kNone && tree.removeValue(key, ansiName);
    return changed;
  });
}

bool RegistryStore::deleteKey(const QString& path) {
  const QByteArray ansiPath = toAnsi(path);
  return update([&](Tree& tree, bool& changed) {
    changed = tree.remove(tree.find(ansiPath));
    return changed;
  });
}

std::optional<RegKeyInfo> RegistryStore::keyInfo(const QString& path) {
  std::optional<RegKeyInfo> result;
  const QByteArray ansiPath = toAnsi(path);
  inspect([&](const Tree& tree) {
    const qint32 key = tree.find(ansiPath);
    if (key == Tree::kNone) return;
    RegKeyInfo info;
    tree.forEachChild(key, [&](qint32 child) {
      ++info.subKeys;
      info.longestSubKeyName = std::max<int>(info.longestSubKeyName, tree.key(child).nameSize);
    });
    info.values = tree.key(key).valueCount;
    tree.forEachValue(key, [&](const Tree::Value& value) {
      info.longestValueName = std::max<int>(info.longestValueName, value.nameSize);
      info.longestValueData = std::max<int>(info.longestValueData, value.dataSize);
    });
    result = info;
  });
  return result;
}

namespace {

// Every key, each parent before its sub-keys, sub-keys by name.
QByteArray serialise(const RegistryStore::Tree& tree, QByteArrayView rootName) {
  using Tree = RegistryStore::Tree;
  QByteArray out = kHeader + kEol;
  QList<std::pair<qint32, QByteArray>> pending{{Tree::kRoot, rootName.toByteArray()}};
  while (!pending.isEmpty()) {
    const auto [key, path] = pending.takeLast();
    if (key != Tree::kRoot || tree.key(key).valueCount > 0) out += kEol + '[' + path + ']' + kEol;
    tree.forEachValue(key, [&](const Tree::Value& value) {
      const QByteArrayView name = tree.name(value);
      if (name.isEmpty())
        out += '@';
      else
        appendQuoted(out, name);
      out += '=';
      appendData(out, value.type, tree.data(value));
      out += kEol;
    });
    const auto children = tree.sortedChildren(key);
    for (auto child = children.crbegin(); child != children.crend(); ++child)
      pending.append({child->second, path + '\\' + tree.keyName(child->second).toByteArray()});
  }
  return out + kEol;
}

// A value line whose hex data goes on in the next line.
bool continues(QByteArrayView line) {
  if (!line.endsWith('\\')) return false;
  const auto data = dataTextOf(line);
  return data && data->startsWith("hex");
}

// The key named by a "[...]" line, created when missing; nothing when it lies under another root
// or deeper than the registry allows.
std::optional<qint32> readKeyHeader(QByteArrayView line, QByteArrayView rootName, RegistryStore::Tree& tree) {
  const QByteArrayView inside = line.sliced(1, line.size() - 2);
  if (sameAnsiName(inside, rootName)) return RegistryStore::Tree::kRoot;
  if (inside.size() <= rootName.size() || inside[rootName.size()] != '\\' ||
      !sameAnsiName(inside.first(rootName.size()), rootName))
    return std::nullopt;
  const qint32 key = tree.create(inside.sliced(rootName.size() + 1));
  return key != RegistryStore::Tree::kNone ? std::optional<qint32>(key) : std::nullopt;
}

// Walks the logical lines of the file: each physical line trimmed, and the
// continuation lines of long hex data joined on (in time linear in their length).
template <typename Fn>
void forEachLogicalLine(LineReader& reader, Fn&& handle) {
  QByteArray joined;
  qsizetype joinedFrom = 0;
  bool joining = false;
  qsizetype number = 0;
  QByteArrayView physical;
  while (reader.next(physical)) {
    const QByteArrayView line = physical.trimmed();
    ++number;
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

std::optional<RegistryStore::Tree> parse(LineReader& reader, QByteArrayView rootName, BadLines& bad) {
  using Tree = RegistryStore::Tree;
  Tree tree;
  bool sawHeader = false;
  bool notRegistryText = false;
  qint32 current = Tree::kNone;
  forEachLogicalLine(reader, [&](QByteArrayView line, qsizetype number) {
    if (notRegistryText || line.isEmpty() || line.startsWith(';')) return;
    if (!sawHeader) {
      sawHeader = line == kHeader;
      notRegistryText = !sawHeader;
    } else if (line.startsWith('[') && line.endsWith(']')) {
      const auto key = readKeyHeader(line, rootName, tree);
      current = key.value_or(Tree::kNone);
      if (!key) bad.append(number);
    } else if (current == Tree::kNone || !tree.readValueLine(current, line)) {
      bad.append(number);
    }
  });
  if (!sawHeader) return std::nullopt;
  return std::optional<Tree>(std::move(tree));
}

}  // namespace
