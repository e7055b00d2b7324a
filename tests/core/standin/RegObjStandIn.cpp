// An in-memory registry object for the tests, linked only while the tree holds
// no implementation of its own (see the test folders' CMakeLists.txt).
#include <QMap>
#include <algorithm>

#include "KeyedCollection.h"
#include "RegObj.h"

namespace {

struct StoredKey {
  KeyedCollection<QVariant> values;
};

// Full key paths, folded to upper case, with the root in front.
QMap<QString, StoredKey>& store() {
  static QMap<QString, StoredKey> keys;
  return keys;
}

QString cleanKey(QString key) {
  while (key.endsWith('\\')) key.chop(1);
  return key;
}

}  // namespace

struct RegObj::Impl {
  quint32 root = HKEY_CURRENT_USER;
  QString key;
  QString path() const { return QString::number(root) + '\\' + key.toUpper(); }
  StoredKey& stored() { return store()[path()]; }
};

RegObj::RegObj() : d(std::make_unique<Impl>()) {}
RegObj::~RegObj() = default;

void RegObj::setRoot(quint32 root) { d->root = root; }
quint32 RegObj::root() const { return d->root; }
void RegObj::setKey(const QString& key) {
  d->key = cleanKey(key);
  d->stored();
}
QString RegObj::key() const { return d->key; }
void RegObj::setOptions(int) {}
bool RegObj::haveWritePerms() { return true; }

QVariant RegObj::value(const QString& valueName) { return d->stored().values.value(valueName); }

bool RegObj::setValue(const QString& valueName, const QVariant& vValue) {
  if (!vValue.isValid()) return true;
  d->stored().values.insert(valueName, vValue);
  return true;
}

QList<QPair<QString, QVariant>> RegObj::AllValues() {
  QList<QPair<QString, QVariant>> out;
  for (const auto& entry : d->stored().values) out.append({entry.first, entry.second});
  return out;
}

QStringList RegObj::AllKeys() {
  const QString prefix = d->path() + '\\';
  QStringList names;
  for (auto it = store().cbegin(); it != store().cend(); ++it) {
    if (!it.key().startsWith(prefix)) continue;
    const QString rest = it.key().mid(prefix.size());
    if (!rest.contains('\\')) names.append(rest);
  }
  std::sort(names.begin(), names.end(),
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  return names;
}

bool RegObj::DeleteValue(const QString& valueName) { return d->stored().values.remove(valueName); }

bool RegObj::DeleteKey() {
  const QString own = d->path();
  for (auto it = store().begin(); it != store().end();)
    it = (it.key() == own || it.key().startsWith(own + '\\')) ? store().erase(it) : std::next(it);
  d->key = d->key.left(std::max<qsizetype>(0, d->key.lastIndexOf('\\')));
  return true;
}

int RegObj::ValueCount() { return static_cast<int>(d->stored().values.size()); }
int RegObj::KeyCount() { return static_cast<int>(AllKeys().size()); }
