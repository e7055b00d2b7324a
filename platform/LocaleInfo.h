#pragma once

#include <QString>

// Locale information types that the system asks for.
constexpr int LOCALE_SNATIVELANGNAME = 4;

// A locale text for a language id, as the system's locale tables hold it; empty
// when there is none.
QString localeInfo(int lcid, int lctype);
