#include "PrivateProfile.h"

#include <QFile>
#include <optional>

#include "Ansi.h"

namespace PrivateProfile {

namespace {

std::optional<QString> findValue(const QString& section, const QString& key, const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
  bool inSection = false;
  while (!in.atEnd()) {
    const QString line = fromAnsi(in.readLine()).trimmed();
    if (line.startsWith('[')) {
      const qsizetype close = line.indexOf(']');
      const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
      inSection = name.compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    if (!inSection || line.startsWith(';')) continue;
    const qsizetype equals = line.indexOf('=');
    if (equals < 0) continue;
    if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
      return line.mid(equals + 1).trimmed();
  }
  return std::nullopt;
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

}  // namespace PrivateProfile
