#pragma once

#include <QString>

// Reading of private-profile (INI) files as GetPrivateProfileStringA does it:
// sections and keys are compared without regard to case, the first match
// wins, keys and values are trimmed, and lines starting with ";" are comments.
// Each file is read once and kept; it is read again only when it changed on
// disk (identity, size, times, or within their clock tick its contents).
namespace PrivateProfile {

// Stores the value of `key` in `section` of `file` (ANSI text), or
// `defaultValue` when there is none, cut to `bufferSize` - 1 characters, as a
// buffer of `bufferSize` bytes holds it with its terminating zero. Gives the
// number of characters stored.
int getString(const QString& section, const QString& key, const QString& defaultValue, QString& result,
              int bufferSize, const QString& file);

// While a snapshot of a file lives, every lookup in that file is served from
// one reading of it, however its times move meanwhile.
class Snapshot {
 public:
  explicit Snapshot(const QString& file);
  ~Snapshot();
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

 private:
  QString file_;
};

// How many times the process has read a file.
int readCount();

}  // namespace PrivateProfile
