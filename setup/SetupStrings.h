#pragma once

#include <QString>

// The setup program's texts (ids 128 to 223, and those of its dialogs), in the
// language of the user's locale (LC_ALL, LC_MESSAGES, LANG), English when the
// locale names no other.
namespace SetupStrings {

// The language code of the table in use ("en", "fr", "de", ...).
QString languageCode();

// The text of `id`, from the table in use, else from the English one.
QString text(int id);

}  // namespace SetupStrings
