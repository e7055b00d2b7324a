#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// The localisation runtime: the program's string tables, looked up by id and
// language id, and the process-wide language-change broadcast.
namespace MLRuntime {

// The string-table object: one per process.
class StringTable {
 public:
  // Loads the string tables compiled into the program (one file a language).
  void loadModuleTables();
  bool isLoaded() const { return loaded_; }

  // The text of `id` in language `lcid`; a null string when that language has none.
  QString text(int id, int lcid) const;

  // Parses one table file; returns false and leaves `out` alone on a bad line.
  static bool parseTable(const QByteArray& content, QHash<int, QString>& out, QString* error = nullptr);

 private:
  bool loaded_ = false;
  QHash<int, QHash<int, QString>> tables_;
};

// One listener per window or class that shows localised texts. Setting the
// language through any of them raises LanguageChanged on all of them.
class RuntimeSupport : public QObject {
  Q_OBJECT
 public:
  explicit RuntimeSupport(QObject* parent = nullptr);
  void SetLanguage(int languageId, const QString& language);

 signals:
  void LanguageChanged(int LanguageID, const QString& Language);
};

}  // namespace MLRuntime
