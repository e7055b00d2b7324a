#pragma once

#include <QString>

// Reading of private-profile (INI) files as GetPrivateProfileStringA does it:
// sections and keys are compared without regard to case, the first match
// wins, keys and values are trimmed, and lines starting with ";" are comments.
namespace PrivateProfile {

// Stores the value of `key` in `section` of `file` (ANSI text), or
// `defaultValue` when there is none, cut to `bufferSize` - 1 characters, as a
// buffer of `bufferSize` bytes holds it with its terminating zero. Gives the
// number of characters stored.
int getString(const QString& section, const QString& key, const QString& defaultValue, QString& result,
              int bufferSize, const QString& file);

}  // namespace PrivateProfile
