#include "SetupStrings.h"

#include <QFile>
#include <QHash>

#include "MLRuntime.h"

namespace SetupStrings {

namespace {

const QStringList kLanguages = {"en", "fr", "de", "es", "it", "nl", "pt", "sv", "da", "nb"};

// "de_CH.UTF-8" → "de"; Norwegian in any of its written forms → "nb".
QString languageOfLocale(const QString& locale) {
  QString code = locale.section('_', 0, 0).section('.', 0, 0).section('@', 0, 0).toLower();
  if (code == "no" || code == "nn") code = "nb";
  return kLanguages.contains(code) ? code : QString();
}

QHash<int, QString> loadTable(const QString& code) {
  QHash<int, QString> table;
  QFile file(QStringLiteral(":/setup-strings/%1.txt").arg(code));
  if (file.open(QIODevice::ReadOnly)) MLRuntime::StringTable::parseTable(file.readAll(), table);
  return table;
}

}  // namespace

QString languageCode() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty()) continue;
    const QString code = languageOfLocale(value);
    return code.isEmpty() ? QStringLiteral("en") : code;
  }
  return QStringLiteral("en");
}

QString text(int id) {
  static const QHash<int, QString> chosen = loadTable(languageCode());
  static const QHash<int, QString> english = loadTable(QStringLiteral("en"));
  const auto found = chosen.constFind(id);
  return found != chosen.constEnd() ? *found : english.value(id);
}

}  // namespace SetupStrings
