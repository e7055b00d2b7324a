#include "RegistryStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <algorithm>
#include <cerrno>

#include "Ansi.h"

namespace {

const QByteArray kHeader = "REGEDIT4";
const QByteArray kEol = "\r\n";

QString foldedPath(const QString& path) { return path.toUpper(); }

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

// Renames a damaged file to a name of its own beside it; empty when that fails.
QString keepAside(const QString& path) {
  const QString stem = path + QStringLiteral(".damaged-") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
  QString aside = stem;
  for (int n = 1; QFileInfo::exists(aside); ++n) aside = stem + QLatin1Char('-') + QString::number(n);
  return QFile::rename(path, aside) ? aside : QString();
}

// --- REGEDIT4 text ---

QByteArray escaped(const QByteArray& text) {
  QByteArray out;
  out.reserve(text.size() + 2);
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

QByteArray quoted(const QByteArray& text) { return '"' + escaped(text) + '"'; }

QByteArray hexBytes(const QByteArray& data) {
  QByteArray out;
  for (qsizetype i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    out += QByteArray::number(static_cast<quint8>(data[i]), 16).rightJustified(2, '0');
  }
  return out;
}

// A text value that the quoted form can carry: one terminating NUL, no line breaks.
bool isPlainText(const QByteArray& data) {
  if (!data.endsWith('\0')) return false;
  const QByteArrayView body(data.constData(), data.size() - 1);
  return !body.contains('\0') && !body.contains('\r') && !body.contains('\n');
}

QByteArray dataText(const RegValue& value) {
  if (value.type == RegType::Sz && isPlainText(value.data)) return quoted(value.data.chopped(1));
  if (value.type == RegType::Dword && value.data.size() == 4) {
    quint32 number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<quint8>(value.data[i]);
    return "dword:" + QByteArray::number(number, 16).rightJustified(8, '0');
  }
  if (value.type == RegType::Binary) return "hex:" + hexBytes(value.data);
  return "hex(" + QByteArray::number(value.type, 16) + "):" + hexBytes(value.data);
}

// Reads a quoted text starting at `pos` (on the opening quote); moves `pos` past the closing quote.
std::optional<QByteArray> readQuoted(const QByteArray& line, qsizetype& pos) {
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

std::optional<QByteArray> readHexBytes(const QByteArray& text) {
  QByteArray out;
  const QByteArray trimmed = text.trimmed();
  if (trimmed.isEmpty()) return out;
  for (const QByteArray& part : trimmed.split(',')) {
    const QByteArray digits = part.trimmed();
    bool ok = false;
    const uint byte = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 2 || byte > 0xFF) return std::nullopt;
    out += static_cast<char>(byte);
  }
  return out;
}

std::optional<RegValue> readData(const QByteArray& text) {
  if (text.startsWith('"')) {
    qsizetype pos = 0;
    const auto body = readQuoted(text, pos);
    if (!body || !text.mid(pos).trimmed().isEmpty()) return std::nullopt;
    return RegValue{RegType::Sz, *body + '\0'};
  }
  if (text.startsWith("dword:")) {
    const QByteArray digits = text.mid(6).trimmed();
    bool ok = false;
    const quint32 number = digits.toUInt(&ok, 16);
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
    type = close > 4 ? text.mid(4, close - 4).toUInt(&ok, 16) : 0;
    if (!ok) return std::nullopt;
    colon = close + 1;
  } else if (!text.startsWith("hex:")) {
    return std::nullopt;
  }
  const auto bytes = readHexBytes(text.mid(colon + 1));
  if (!bytes) return std::nullopt;
  return RegValue{type, *bytes};
}

}  // namespace

// --- The keys of one root ---

class RegistryStore::Tree {
 public:
  struct Key {
    QString path;
    KeyedCollection<RegValue> values;
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
      keys_.insert(foldedPath(prefix), Key{prefix, {}});
      if (created) *created = true;
    }
    return *find(prefix);
  }

  bool remove(const QString& path) {
    const QString folded = foldedPath(path);
    if (folded.isEmpty() || !keys_.contains(folded)) return false;
    keys_.remove(folded);
    const QString below = folded + QLatin1Char('\\');
    for (auto it = keys_.lowerBound(below); it != keys_.end() && it.key().startsWith(below);)
      it = keys_.erase(it);
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

 private:
  QMap<QString, Key> keys_;  // by upper-cased path; "" is the root itself
};

namespace {

QByteArray serialise(const RegistryStore::Tree& tree, const QString& rootName);
std::optional<RegistryStore::Tree> parse(const QByteArray& text, const QString& rootName);

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

std::optional<RegistryStore::Tree> RegistryStore::load(bool locked) {
  QFile file(filePath());
  if (!file.exists()) return Tree();
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const auto tree = parse(file.readAll(), rootName_);
  file.close();
  if (tree) return tree;
  const QString aside = locked ? keepAside(filePath()) : QString();
  if (aside.isEmpty()) {
    report(QStringLiteral("RegistryStore-Load: Damaged registry file ") + filePath() +
           QStringLiteral(" could not be kept aside."));
    return std::nullopt;
  }
  report(QStringLiteral("RegistryStore-Load: Damaged registry file kept as ") + aside + QLatin1Char('.'));
  return Tree();
}

bool RegistryStore::writeFile(const Tree& tree) {
  return replaceFile(filePath(), serialise(tree, rootName_));
}

bool RegistryStore::update(const std::function<bool(Tree&, bool&)>& change) {
  if (rootName_.isEmpty() || !QDir().mkpath(folder_)) return false;
  FileLock lock(filePath() + QStringLiteral(".lock"));
  if (!lock.held() || !isWritable()) return false;
  auto tree = load(true);
  if (!tree) return false;
  bool changed = false;
  if (!change(*tree, changed)) return false;
  return !changed || writeFile(*tree);
}

bool RegistryStore::inspect(const std::function<void(const Tree&)>& read) {
  if (rootName_.isEmpty()) return false;
  if (!QFileInfo(folder_).isDir()) {
    read(Tree());
    return true;
  }
  FileLock lock(filePath() + QStringLiteral(".lock"));
  const auto tree = load(lock.held());
  if (!tree) return false;
  read(*tree);
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
    if (key && key->values.contains(name)) result = key->values.value(name);
  });
  return result;
}

bool RegistryStore::setValue(const QString& path, const QString& name, const RegValue& value) {
  if (!fitsOnALine(path) || !fitsOnALine(name)) return false;
  return update([&](Tree& tree, bool& changed) {
    tree.create(path).values.insert(name, value);
    changed = true;
    return true;
  });
}

QList<std::pair<QString, RegValue>> RegistryStore::values(const QString& path) {
  QList<std::pair<QString, RegValue>> result;
  inspect([&](const Tree& tree) {
    if (const Tree::Key* key = tree.find(normalisedPath(path)))
      for (const auto& entry : key->values) result.append(entry);
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
    changed = key && key->values.remove(name);
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
    for (const auto& [name, value] : key->values) {
      info.longestValueName = std::max<int>(info.longestValueName, name.size());
      info.longestValueData = std::max<int>(info.longestValueData, value.data.size());
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
    for (const auto& [name, value] : key->values)
      out += (name.isEmpty() ? QByteArray("@") : quoted(toAnsi(name))) + '=' + dataText(value) + kEol;
  }
  return out + kEol;
}

// Splits a `"name"=data` or `@=data` line; nothing when it is not one.
std::optional<std::pair<QString, QByteArray>> splitValueLine(const QByteArray& line) {
  QString name;
  qsizetype pos = 1;
  if (line.startsWith('"')) {
    pos = 0;
    const auto quotedName = readQuoted(line, pos);
    if (!quotedName) return std::nullopt;
    name = fromAnsi(*quotedName);
  } else if (!line.startsWith('@')) {
    return std::nullopt;
  }
  if (pos >= line.size() || line[pos] != '=') return std::nullopt;
  return std::pair{name, line.mid(pos + 1).trimmed()};
}

// The lines of the file, with the continuation lines of long hex data joined on.
QList<QByteArray> logicalLines(const QByteArray& text) {
  QList<QByteArray> lines;
  bool continues = false;
  for (const QByteArray& line : text.split('\n')) {
    if (continues)
      lines.last() += line.trimmed();
    else
      lines.append(line.trimmed());
    const auto value = splitValueLine(lines.last());
    continues = value && value->second.startsWith("hex") && value->second.endsWith('\\');
    if (continues) lines.last().chop(1);
  }
  return lines;
}

// The key path named by a "[...]" line, or nothing when it lies under another root.
std::optional<QString> readKeyHeader(const QByteArray& line, const QString& rootName) {
  const QString inside = fromAnsi(line.mid(1, line.size() - 2));
  if (inside.compare(rootName, Qt::CaseInsensitive) == 0) return QString();
  const QString prefix = rootName + QLatin1Char('\\');
  if (!inside.startsWith(prefix, Qt::CaseInsensitive)) return std::nullopt;
  return normalisedPath(inside.mid(prefix.size()));
}

// Reads one `"name"=data` or `@=data` line into the key.
bool readValueLine(const QByteArray& line, RegistryStore::Tree::Key& key) {
  const auto parts = splitValueLine(line);
  const auto value = parts ? readData(parts->second) : std::nullopt;
  if (!value) return false;
  key.values.insert(parts->first, *value);
  return true;
}

std::optional<RegistryStore::Tree> parse(const QByteArray& text, const QString& rootName) {
  RegistryStore::Tree tree;
  bool sawHeader = false;
  std::optional<QString> current;
  for (const QByteArray& line : logicalLines(text)) {
    if (line.isEmpty() || line.startsWith(';')) continue;
    if (!sawHeader) {
      if (line != kHeader) return std::nullopt;
      sawHeader = true;
    } else if (line.startsWith('[') && line.endsWith(']')) {
      current = readKeyHeader(line, rootName);
      if (!current) return std::nullopt;
      tree.create(*current);
    } else if (!current || !readValueLine(line, *tree.find(*current))) {
      return std::nullopt;
    }
  }
  if (!sawHeader) return std::nullopt;
  return tree;
}

}  // namespace
