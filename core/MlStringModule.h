#pragma once

#include <QList>
#include <QString>

// The current interface language as a language id; 0 until the first SetLanguage.
extern int gLanguageID;

constexpr int kLanguageEnglish = 9;

// The text of string resource `id` in the current language. An id the language
// lacks, and any lookup before a language is chosen, give the English text.
// `defaultText` is never used: the resources always decide.
QString GetResString(int id, const QString& defaultText = QString());

// Makes `languageId` current when it is supported, else English.
void SetLanguage(int languageId, const QString& language);

// The supported language ids in their fixed order.
QList<int> SupportedLanguages();

// "English" for 9, "Invalid Language Index" for any other id.
QString LanguageName(int lcid);

QString GetLocaleString(int lcid, int lctype);
QString GetLanguageNativeName(int lcid);

// Loads the string tables; later calls do nothing.
void InitLocalisation();
