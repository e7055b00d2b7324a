#include "LocaleInfo.h"

#include <QHash>

namespace {

// Native names of the languages the program can show; language-only ids and
// their usual country ids name the same language.
const QHash<int, QString>& nativeNames() {
  static const QHash<int, QString> names = {
      {9, QStringLiteral("English")},        {1033, QStringLiteral("English")},
      {2057, QStringLiteral("English")},     {12, QString::fromUtf8("français")},
      {1036, QString::fromUtf8("français")}, {7, QStringLiteral("Deutsch")},
      {1031, QStringLiteral("Deutsch")},     {10, QString::fromUtf8("español")},
      {1034, QString::fromUtf8("español")},  {3082, QString::fromUtf8("español")},
      {16, QStringLiteral("italiano")},      {1040, QStringLiteral("italiano")},
      {19, QStringLiteral("Nederlands")},    {1043, QStringLiteral("Nederlands")},
      {22, QString::fromUtf8("português")},  {2070, QString::fromUtf8("português")},
  };
  return names;
}

}  // namespace

QString localeInfo(int lcid, int lctype) {
  if (lctype != LOCALE_SNATIVELANGNAME) return {};
  return nativeNames().value(lcid);
}
