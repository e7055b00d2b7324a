#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The setup's string tables as the files hold them, read apart from the code
// under test, and the language a test runs the setup in.
namespace SetupTexts {

// The ten languages, English first.
extern const QStringList kLanguages;

// The whole table of language `code`.
QHash<int, QString> table(const QString& code);

// Text `id` of language `code`, its "%s" and "%d" filled with `values` in order.
QString text(const QString& code, int id, const QStringList& values = {});

// The setup speaks language `code` while this lives, as LC_ALL would have it.
class Language {
 public:
  explicit Language(const QString& code);
  ~Language();
  Language(const Language&) = delete;
  Language& operator=(const Language&) = delete;
};

}  // namespace SetupTexts
