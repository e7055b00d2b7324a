#pragma once

#include <QString>
#include <QStringList>

// The setup program's texts (ids 128 to 279, and those of its dialogs), in the
// language of the user's locale (LC_ALL, LC_MESSAGES, LANG), English when the
// locale names no other.
namespace SetupStrings {

// The codes of the languages the setup speaks, English first.
const QStringList& languageCodes();

// The language code of the table in use ("en", "fr", "de", ...).
QString languageCode();

// The text of `id`, from the table in use, else from the English one.
QString text(int id);

// The text of `id` in the language `code`, else in English.
QString text(int id, const QString& code);

}  // namespace SetupStrings
