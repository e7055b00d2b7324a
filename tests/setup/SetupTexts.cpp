#include "SetupTexts.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "MLRuntime.h"

namespace SetupTexts {

const QStringList kLanguages = {"en", "fr", "de", "es", "it", "nl", "pt", "sv", "da", "nb"};

QHash<int, QString> table(const QString& code) {
  QFile file(":/setup-strings/" + code + ".txt");
  QHash<int, QString> out;
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << code.toStdString();
  EXPECT_TRUE(MLRuntime::StringTable::parseTable(file.readAll(), out)) << code.toStdString();
  return out;
}

QString text(const QString& code, int id, const QStringList& values) {
  static QHash<QString, QHash<int, QString>> tables;
  if (!tables.contains(code)) tables.insert(code, table(code));
  QString pattern = tables.value(code).value(id);
  EXPECT_FALSE(pattern.isEmpty()) << code.toStdString() << " " << id;
  QString filled;
  qsizetype next = 0;
  for (const auto& piece : QRegularExpression("%[sd%]|[^%]+|%").globalMatch(pattern)) {
    const QString part = piece.captured();
    if (part == "%%")
      filled += '%';
    else if ((part == "%s" || part == "%d") && next < values.size())
      filled += values[next++];
    else
      filled += part;
  }
  return filled;
}

Language::Language(const QString& code) { qputenv("LC_ALL", code.toUtf8()); }

Language::~Language() { qunsetenv("LC_ALL"); }

}  // namespace SetupTexts
