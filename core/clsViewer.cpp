#include "clsViewer.h"

#include <QCoreApplication>
#include <QDir>

#include "RegObj.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"

namespace {

const QString kValueName = QStringLiteral("viewer");
const QChar kQuote = QLatin1Char('"');

// The sibling programs are Linux executables: their names carry no ".exe".
const QString kControlProgram = QStringLiteral("KVTcontrol");
const QString kIndexerProgram = QStringLiteral("KVTindexer");

void openBaseKey(RegObj& reg) {
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(gRegRoot);
}

// The program path of a command line: between the first two double quotes,
// or the whole text when it has none.
QString programOf(const QString& commandLine) {
  const qsizetype q = commandLine.indexOf(kQuote);
  if (q < 0) return commandLine;
  const QString rest = commandLine.mid(q + 1);
  const qsizetype closing = rest.indexOf(kQuote);
  return closing < 0 ? rest : rest.left(closing);
}

QString argumentsOf(const QString& commandLine) {
  const qsizetype q = commandLine.indexOf(kQuote);
  if (q < 0) return commandLine.trimmed();
  QString rest = commandLine.mid(q + 1);
  const qsizetype closing = rest.indexOf(kQuote);
  if (closing >= 0) rest = rest.mid(closing + 1);
  return rest.trimmed();
}

}  // namespace

clsViewer::clsViewer(const QString& programFolder)
    : programFolder_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder) {}

bool clsViewer::SaveToReg() {
  RegObj reg;
  openBaseKey(reg);
  return reg.setValue(kValueName, path);
}

bool clsViewer::viewerExists(const QString& testPath) const {
  const QString program = programOf(testPath);
  return !program.isEmpty() && PathExists(program, false);
}

QString clsViewer::targetFile() const { return programOf(path); }

QString clsViewer::targetArgs() const { return argumentsOf(path); }

bool clsViewer::LoadFromReg() {
  RegObj reg;
  openBaseKey(reg);
  path = reg.value(kValueName).toString();
  if (viewerExists(path)) return true;
  path = findSiblingViewer(QStringLiteral("*control*"), kControlProgram);
  if (path.isEmpty()) path = findSiblingViewer(QStringLiteral("*indexer*"), kIndexerProgram);
  return true;
}

QString clsViewer::findSiblingViewer(const QString& pattern, const QString& program) const {
  const QString parent = GetParentFolderName(QDir::cleanPath(programFolder_));
  if (parent.isEmpty()) return {};
  const QDir parentDir(parent);
  const QStringList entries =
      parentDir.entryList({pattern}, QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted);
  for (const QString& entry : entries) {
    const QString candidate = parentDir.filePath(entry + QLatin1Char('/') + program);
    if (PathExists(candidate, false)) return kQuote + candidate + kQuote + QStringLiteral(" -F");
  }
  return {};
}
