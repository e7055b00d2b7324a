#include "MlStringModule.h"

#include "LocaleInfo.h"
#include "MLRuntime.h"

int gLanguageID = 0;

namespace {

MLRuntime::StringTable& stringTable() {
  static MLRuntime::StringTable table;
  return table;
}

const QList<int> kSupported = {9, 1036, 1031, 1034, 1040, 1043};

}  // namespace

void InitLocalisation() {
  if (!stringTable().isLoaded()) stringTable().loadModuleTables();
}

QString GetResString(int id, const QString& /*defaultText*/) {
  InitLocalisation();
  const QString text = stringTable().text(id, gLanguageID);
  if (!text.isNull()) return text;
  return stringTable().text(id, kLanguageEnglish);
}

void SetLanguage(int languageId, const QString& /*language*/) {
  gLanguageID = kSupported.contains(languageId) ? languageId : kLanguageEnglish;
}

QList<int> SupportedLanguages() { return kSupported; }

QString LanguageName(int lcid) {
  return lcid == kLanguageEnglish ? QStringLiteral("English") : QStringLiteral("Invalid Language Index");
}

QString GetLocaleString(int lcid, int lctype) { return localeInfo(lcid, lctype); }

QString GetLanguageNativeName(int lcid) { return GetLocaleString(lcid, LOCALE_SNATIVELANGNAME); }
