#include "MLRuntime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace MLRuntime {

namespace {

// The one broadcaster every RuntimeSupport listens to.
class Broadcaster : public QObject {
  Q_OBJECT
 public:
  static Broadcaster& instance() {
    static Broadcaster b;
    return b;
  }
 signals:
  void changed(int languageId, const QString& language);
};

// A table line: id, blanks, then the text in double quotes with \" \\ \t \n escapes.
bool parseLine(const QString& line, int& id, QString& text) {
  const qsizetype quote = line.indexOf('"');
  if (quote < 0 || !line.endsWith('"') || line.size() - quote < 2) return false;
  bool ok = false;
  id = line.left(quote).trimmed().toInt(&ok);
  if (!ok) return false;
  text.clear();
  const QString body = line.mid(quote + 1, line.size() - quote - 2);
  for (qsizetype i = 0; i < body.size(); ++i) {
    QChar c = body[i];
    if (c == '\\') {
      if (++i >= body.size()) return false;
      const QChar e = body[i];
      c = e == 'n' ? QChar('\n') : e == 't' ? QChar('\t') : e;
    } else if (c == '"') {
      return false;
    }
    text.append(c);
  }
  return true;
}

// Qt's own texts (standard buttons, dialog captions) follow the program's language.
void useQtTexts(int languageId) {
  static const QHash<int, QString> codes = {{9, "en"},  {12, "fr"}, {7, "de"}, {10, "es"},
                                            {16, "it"}, {19, "nl"}, {22, "pt_BR"}};
  static QTranslator* installed = nullptr;
  if (!QCoreApplication::instance()) return;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  const QString code = codes.value(languageId & 0x3FF);
  if (code.isEmpty()) return;
  auto* translator = new QTranslator;
  if (translator->load("qtbase_" + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator)) {
    installed = translator;
    return;
  }
  delete translator;
}

}  // namespace

bool StringTable::parseTable(const QByteArray& content, QHash<int, QString>& out, QString* error) {
  QHash<int, QString> table;
  const QStringList lines = QString::fromUtf8(content).split('\n');
  for (qsizetype n = 0; n < lines.size(); ++n) {
    const QString line = lines[n].endsWith('\r') ? lines[n].chopped(1) : lines[n];
    if (line.trimmed().isEmpty() || line.trimmed().startsWith('#')) continue;
    int id = 0;
    QString text;
    if (!parseLine(line, id, text)) {
      if (error) *error = QStringLiteral("line %1: %2").arg(n + 1).arg(line);
      return false;
    }
    table.insert(id, text);
  }
  out = table;
  return true;
}

void StringTable::loadModuleTables() {
  const QDir dir(QStringLiteral(":/strings"));
  for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
    bool ok = false;
    const int lcid = info.baseName().toInt(&ok);
    QFile file(info.filePath());
    if (!ok || !file.open(QIODevice::ReadOnly)) continue;
    QHash<int, QString> table;
    if (parseTable(file.readAll(), table)) tables_.insert(lcid, table);
  }
  loaded_ = true;
}

QString StringTable::text(int id, int lcid) const {
  const auto table = tables_.constFind(lcid);
  if (table == tables_.constEnd()) return {};
  return table->value(id);
}

RuntimeSupport::RuntimeSupport(QObject* parent) : QObject(parent) {
  connect(&Broadcaster::instance(), &Broadcaster::changed, this, &RuntimeSupport::LanguageChanged);
}

void RuntimeSupport::SetLanguage(int languageId, const QString& language) {
  useQtTexts(languageId);
  emit Broadcaster::instance().changed(languageId, language);
}

}  // namespace MLRuntime

#include "MLRuntime.moc"
