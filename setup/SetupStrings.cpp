#include "SetupStrings.h"

#include <QFile>
#include <QHash>
#include <map>
#include <mutex>

#include "MLRuntime.h"

namespace SetupStrings {

namespace {

// "de_CH.UTF-8" → "de"; Norwegian in any of its written forms → "nb".
QString languageOfLocale(const QString& locale) {
  QString code = locale.section('_', 0, 0).section('.', 0, 0).section('@', 0, 0).toLower();
  if (code == "no" || code == "nn") code = "nb";
  return languageCodes().contains(code) ? code : QString();
}

QHash<int, QString> loadTable(const QString& code) {
  QHash<int, QString> table;
  QFile file(QStringLiteral(":/setup-strings/%1.txt").arg(code));
  if (file.open(QIODevice::ReadOnly)) MLRuntime::StringTable::parseTable(file.readAll(), table);
  return table;
}

// Workers look texts up too: each table is read once, under the lock, and
// stays where it is (a map's entries never move).
const QHash<int, QString>& table(const QString& code) {
  static std::mutex lock;
  static std::map<QString, QHash<int, QString>> tables;
  const std::lock_guard guard(lock);
  auto found = tables.find(code);
  if (found == tables.end()) found = tables.emplace(code, loadTable(code)).first;
  return found->second;
}

}  // namespace

const QStringList& languageCodes() {
  static const QStringList codes = {"en", "fr", "de", "es", "it", "nl", "pt", "sv", "da", "nb"};
  return codes;
}

QString languageCode() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty()) continue;
    const QString code = languageOfLocale(value);
    return code.isEmpty() ? QStringLiteral("en") : code;
  }
  return QStringLiteral("en");
}

QString text(int id) { return text(id, languageCode()); }

QString text(int id, const QString& code) {
  const QHash<int, QString>& chosen = table(code);
  const auto found = chosen.constFind(id);
  return found != chosen.constEnd() ? *found : table(QStringLiteral("en")).value(id);
}

}  // namespace SetupStrings
