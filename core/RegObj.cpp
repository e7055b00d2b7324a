#include "RegObj.h"

#include <unistd.h>

#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>

#include "Ansi.h"
#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "RegistryStore.h"
#include "modLumasetCommon.h"

namespace {

constexpr quint32 KEY_READ = 0x20019;
constexpr quint32 KEY_READ_WRITE = 0x2001F;
constexpr quint32 KEY_ALL_ACCESS = 0xF003F;
constexpr quint32 KEY_SET_VALUE_OR_CREATE = 0x0006;

constexpr int kOptionNumbersAsText = 1;
constexpr int kOptionMultiStringAsArray = 2;
constexpr int kOptionExpandStrings = 4;
constexpr int kOptionShowErrors = 8;

constexpr int kEnvironmentEntriesSearched = 100;
constexpr int kExpandBufferSize = 1024;

const QString kNoKeyName = QStringLiteral("No Key name specified!");
const QString kCannotOpen = QStringLiteral("Could not open Registry Key!");
const QString kUnsupportedType =
    QStringLiteral("Existing value has unsupported data type and will not be overwritten");
const QString kErrorTitle = QStringLiteral("Registry Error");
const QString kUnsupportedFormat = QStringLiteral("(unsupported data format)");

int& enumerations() {
  static int count = 0;
  return count;
}

bool isIntegerType(int typeId) {
  switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return true;
    default:
      return false;
  }
}

bool isNumeric(const QVariant& v) {
  const int typeId = v.typeId();
  return isIntegerType(typeId) || typeId == QMetaType::Double || typeId == QMetaType::Float ||
         typeId == QMetaType::Bool;
}

bool isArray(const QVariant& v) {
  const int typeId = v.typeId();
  return typeId == QMetaType::QByteArray || typeId == QMetaType::QStringList ||
         typeId == QMetaType::QVariantList;
}

// The text form of a value: numbers with "." and no grouping, whatever the locale.
std::optional<QString> toText(const QVariant& v) {
  const int typeId = v.typeId();
  if (typeId == QMetaType::QString) return v.toString();
  if (typeId == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
  if (typeId == QMetaType::Double) return QString::number(v.toDouble(), 'g', 15);
  if (typeId == QMetaType::Float) return QString::number(v.toFloat(), 'g', 7);
  if (typeId == QMetaType::ULongLong || typeId == QMetaType::ULong || typeId == QMetaType::UInt)
    return QString::number(v.toULongLong());
  if (isIntegerType(typeId)) return QString::number(v.toLongLong());
  if (typeId == QMetaType::Nullptr || isArray(v) || !v.canConvert<QString>()) return std::nullopt;
  return v.toString();
}

std::optional<qint32> fromDouble(double d) {
  if (!std::isfinite(d)) return std::nullopt;
  const double rounded = std::nearbyint(d);
  if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
    return std::nullopt;
  return static_cast<qint32>(rounded);
}

// A value as a 32-bit integer; nothing when it does not convert.
std::optional<qint32> toLong(const QVariant& v) {
  const int typeId = v.typeId();
  if (typeId == QMetaType::Bool) return v.toBool() ? -1 : 0;
  if (isIntegerType(typeId)) {
    if (typeId == QMetaType::ULongLong || typeId == QMetaType::ULong || typeId == QMetaType::UInt)
      return v.toULongLong() <= quint64(std::numeric_limits<qint32>::max())
                 ? std::optional<qint32>(qint32(v.toULongLong()))
                 : std::nullopt;
    const qint64 n = v.toLongLong();
    if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()) return std::nullopt;
    return static_cast<qint32>(n);
  }
  if (typeId == QMetaType::Double || typeId == QMetaType::Float) return fromDouble(v.toDouble());
  if (typeId == QMetaType::QString) {
    bool ok = false;
    const double d = QLocale::c().toDouble(v.toString().trimmed(), &ok);
    return ok ? fromDouble(d) : std::nullopt;
  }
  return std::nullopt;
}

// The text names an environment variable between percent signs.
bool holdsEnvironmentReference(const QString& text) {
  const qsizetype first = text.indexOf(QLatin1Char('%'));
  if (first < 0 || first == text.lastIndexOf(QLatin1Char('%'))) return false;
  for (int i = 0; i < kEnvironmentEntriesSearched && environ[i] && *environ[i]; ++i) {
    const QString entry = QString::fromLocal8Bit(environ[i]);
    const QString name = entry.left(entry.indexOf(QLatin1Char('=')));
    if (text.contains(QLatin1Char('%') + name + QLatin1Char('%'), Qt::CaseInsensitive)) return true;
  }
  return false;
}

// Replaces every %NAME% of a set variable by its value; empty when the result overflows the buffer.
QString expandEnvironmentStrings(const QString& text) {
  QString out;
  qsizetype pos = 0;
  while (pos < text.size()) {
    const qsizetype open = text.indexOf(QLatin1Char('%'), pos);
    const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('%'), open + 1);
    if (close < 0) {
      out += text.mid(pos);
      break;
    }
    const QString name = text.mid(open + 1, close - open - 1);
    const QByteArray local = name.toLocal8Bit();
    if (!name.isEmpty() && qEnvironmentVariableIsSet(local.constData())) {
      out += text.mid(pos, open - pos) + qEnvironmentVariable(local.constData());
      pos = close + 1;
    } else {
      out += text.mid(pos, close - pos);
      pos = close;
    }
  }
  return out.size() < kExpandBufferSize ? out : QString();
}

QByteArray textData(const QString& text) { return toAnsi(text) + '\0'; }

QByteArray dwordData(qint32 n) {
  QByteArray data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((quint32(n) >> (8 * i)) & 0xFF);
  return data;
}

// The registry type and data for a value, by the value's own type.
std::optional<RegValue> encode(const QVariant& v) {
  const int typeId = v.typeId();
  if (typeId == QMetaType::QByteArray) return RegValue{RegType::Binary, v.toByteArray()};
  if (typeId == QMetaType::QStringList || typeId == QMetaType::QVariantList) {
    QStringList texts;
    for (const QVariant& element : v.toList()) {
      const auto text = toText(element);
      if (!text) return std::nullopt;
      texts.append(*text);
    }
    return RegValue{RegType::MultiSz, toAnsi(texts.join(QChar(0))) + QByteArray(2, '\0')};
  }
  if (typeId == QMetaType::Int || typeId == QMetaType::Short)
    return RegValue{RegType::Dword, dwordData(v.toInt())};
  const auto text = toText(v);
  if (!text) return std::nullopt;
  const bool expandable = typeId == QMetaType::QString && holdsEnvironmentReference(*text);
  return RegValue{expandable ? RegType::ExpandSz : RegType::Sz, textData(*text)};
}

QString textBeforeNul(const QByteArray& data) {
  const qsizetype end = data.indexOf('\0');
  return fromAnsi(end < 0 ? data : data.left(end));
}

// A root of 0 is the user's.
std::unique_ptr<RegistryStore> storeOf(quint32 root) {
  auto store = std::make_unique<RegistryStore>(root == 0 ? HKEY_CURRENT_USER : root);
  store->setReporter([](const QString& message) { LogMessage(message); });
  return store;
}

}  // namespace

struct RegObj::Impl {
  quint32 wantedAccess = KEY_READ;
  quint32 openAccess = 0;
  quint32 root = HKEY_CURRENT_USER;
  int options = 0;
  QString key;
  bool isOpen = false;
  // The store of `root`, kept while the root stays.
  std::unique_ptr<RegistryStore> store;
  quint32 storeRoot = 0;
  RegKeyInfo info;
  // The key's values as last enumerated; few enough that a scan finds one.
  QList<QPair<QString, QVariant>> cache;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;

  void showError(const QString& text) const {
    if (options & kOptionShowErrors) MsgBox(text, MsgBoxStyle::Exclamation, kErrorTitle);
  }

  RegistryStore& storeOfRoot() {
    if (root == 0) root = HKEY_CURRENT_USER;
    if (!store || storeRoot != root) {
      store = storeOf(root);
      storeRoot = root;
    }
    return *store;
  }

  // The store calls of one call of the object look at the file once.
  RegistryStore::Chain chain() { return RegistryStore::Chain(storeOfRoot()); }

  void close() { isOpen = false; }

  void open() {
    close();
    if (!storeOfRoot().openKey(key, (wantedAccess & KEY_SET_VALUE_OR_CREATE) != 0)) return;
    refreshInfo();
    cache.clear();
    openAccess = wantedAccess;
    isOpen = true;
  }

  bool ensureOpen() {
    if (key.isEmpty()) {
      showError(kNoKeyName);
      return false;
    }
    if (isOpen && openAccess != wantedAccess) close();
    if (!isOpen) open();
    if (!isOpen) showError(kCannotOpen);
    return isOpen;
  }

  void reopen() {
    close();
    ensureOpen();
  }

  void refreshInfo() { info = store->keyInfo(key).value_or(RegKeyInfo{}); }

  // Refreshes the counts after a change and forgets the cached values.
  void changed() {
    refreshInfo();
    cache.clear();
  }

  QVariant decode(const RegValue& value) const {
    switch (value.type) {
      case RegType::Sz:
        return textBeforeNul(value.data);
      case RegType::ExpandSz: {
        const QString text = textBeforeNul(value.data);
        return (options & kOptionExpandStrings) ? expandEnvironmentStrings(text) : text;
      }
      case RegType::Binary:
        return value.data;
      case RegType::Dword: {
        if (value.data.size() > 4) return QVariant();
        quint32 n = 0;
        for (qsizetype i = value.data.size() - 1; i >= 0; --i) n = (n << 8) | quint8(value.data[i]);
        return qint32(n);
      }
      case RegType::MultiSz: {
        const qsizetype end = value.data.indexOf(QByteArray(2, '\0'));
        QByteArray strings = end < 0 ? value.data : value.data.left(end);
        if (end < 0 && strings.endsWith('\0')) strings.chop(1);
        const QString text = fromAnsi(strings);
        if (!(options & kOptionMultiStringAsArray)) return text;
        return text.isEmpty() ? QStringList() : text.split(QChar(0));
      }
      default:
        return kUnsupportedFormat;
    }
  }

  void loadCache() {
    wantedAccess = KEY_READ;
    if (!ensureOpen() || info.values == 0) return;
    cache.clear();
    ++enumerations();
    for (const auto& [name, value] : store->values(key)) {
      const QVariant converted = decode(value);
      if (converted.isValid()) cache.append({name, converted});
    }
  }

  QVariant cachedValue(const QString& name) const {
    for (const auto& [cachedName, value] : cache)
      if (cachedName.compare(name, Qt::CaseInsensitive) == 0) return value;
    return QVariant();
  }

  // The value converted by the type of the value it replaces; nothing when it
  // cannot be, or the existing type must not be overwritten.
  std::optional<QVariant> convertForExisting(const QVariant& v,
                                             const std::optional<RegValue>& existing) const {
    if (!existing) return v;
    switch (existing->type) {
      case RegType::Sz:
      case RegType::ExpandSz: {
        const auto text = toText(v);
        return text ? std::optional<QVariant>(*text) : std::nullopt;
      }
      case RegType::Dword: {
        const auto n = toLong(v);
        return n ? std::optional<QVariant>(*n) : std::nullopt;
      }
      case RegType::MultiSz:
        return v;
      default:
        showError(kUnsupportedType);
        return std::nullopt;
    }
  }
};

RegObj::RegObj() : d(std::make_unique<Impl>()) {
  d->ml_RuntimeSupport = std::make_unique<MLRuntime::RuntimeSupport>();
  QObject::connect(d->ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged,
                   [](int LanguageID, const QString& Language) { SetLanguage(LanguageID, Language); });
}

RegObj::~RegObj() = default;

void RegObj::setRoot(quint32 root) {
  if (root == d->root) return;
  d->root = root;
  if (d->key.isEmpty()) return;
  const auto chain = d->chain();
  d->reopen();
}

quint32 RegObj::root() const { return d->root; }

void RegObj::setKey(const QString& key) {
  if (key.isEmpty()) return;
  if (d->key.isEmpty()) {
    d->key = key;
    return;
  }
  if (key.compare(d->key, Qt::CaseInsensitive) == 0) return;
  d->key = key;
  const auto chain = d->chain();
  d->reopen();
}

QString RegObj::key() const { return d->key; }

void RegObj::setOptions(int options) {
  if (options >= 0 && options <= 15) d->options = options;
}

bool RegObj::haveWritePerms() {
  const auto chain = d->chain();
  d->wantedAccess = KEY_READ_WRITE;
  return d->ensureOpen();
}

QVariant RegObj::value(const QString& valueName) {
  const auto chain = d->chain();
  if (d->cache.isEmpty()) d->loadCache();
  return d->cachedValue(valueName);
}

bool RegObj::setValue(const QString& valueName, const QVariant& vValue) {
  if (!vValue.isValid()) return true;
  const auto chain = d->chain();
  d->wantedAccess = KEY_READ_WRITE;
  if (!d->ensureOpen()) return false;
  auto converted = d->convertForExisting(vValue, d->store->queryValue(d->key, valueName));
  if (!converted) return false;
  if (((d->options & kOptionNumbersAsText) && isNumeric(*converted)) || valueName.isEmpty()) {
    const auto text = toText(*converted);
    if (!text) return false;
    converted = *text;
  }
  const auto encoded = encode(*converted);
  if (!encoded) return false;
  const bool written = d->store->setValue(d->key, valueName, *encoded);
  d->changed();
  return written;
}

QList<QPair<QString, QVariant>> RegObj::AllValues() {
  const auto chain = d->chain();
  d->wantedAccess = KEY_READ;
  if (!d->ensureOpen()) return {};
  if (d->cache.isEmpty()) d->loadCache();
  return d->cache;
}

QStringList RegObj::AllKeys() {
  const auto chain = d->chain();
  d->wantedAccess = KEY_READ;
  if (!d->ensureOpen()) return {};
  return d->store->subKeys(d->key);
}

bool RegObj::DeleteValue(const QString& valueName) {
  const auto chain = d->chain();
  d->wantedAccess = KEY_ALL_ACCESS;
  if (!d->ensureOpen() || !d->store->deleteValue(d->key, valueName)) return false;
  d->changed();
  return true;
}

bool RegObj::DeleteKey() {
  if (d->key.isEmpty()) {
    d->showError(kNoKeyName);
    return false;
  }
  const qsizetype split = d->key.lastIndexOf(QLatin1Char('\\'));
  if (split < 0 || split == d->key.size() - 1) return false;
  const QString doomed = d->key;
  const auto chain = d->chain();
  d->key = doomed.left(split);
  d->wantedAccess = KEY_ALL_ACCESS;
  d->close();
  if (!d->ensureOpen() || !d->store->deleteKey(doomed)) return false;
  d->changed();
  return true;
}

int RegObj::ValueCount() {
  const auto chain = d->chain();
  return d->ensureOpen() ? d->info.values : 0;
}

int RegObj::KeyCount() {
  const auto chain = d->chain();
  return d->ensureOpen() ? d->info.subKeys : 0;
}

int RegObj::enumerationCount() { return enumerations(); }

struct RegObj::Batch::Impl {
  explicit Impl(quint32 root) : store(storeOf(root)), batch(*store) {}
  std::unique_ptr<RegistryStore> store;
  RegistryStore::Batch batch;
};

RegObj::Batch::Batch(quint32 root) : d(std::make_unique<Impl>(root)) {}

RegObj::Batch::~Batch() = default;

bool RegObj::Batch::commit() { return d->batch.commit(); }

void RegObj::Batch::whenWritten(std::function<void()> done) { d->batch.whenWritten(std::move(done)); }
