#include "Relaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

#include "CPayloadArchive.h"
#include "NoExecCheck.h"
#include "SetupMessages.h"
#include "SetupPaths.h"

namespace {

QString shellQuoted(const QString& text) {
  QString inner = text;
  inner.replace('\'', QStringLiteral("'\\''"));
  return '\'' + inner + '\'';
}

bool liesInPrivateTempFolder(const QString& path) {
  const QString folder = SetupPaths::privateTempFolder();
  if (folder.isEmpty()) return false;
  const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
  const QFileInfo file(path);
  return !canonicalFolder.isEmpty() && file.isFile() && file.absoluteDir().canonicalPath() == canonicalFolder;
}

// The private folder is removed only under its lock, as a run removes it.
QByteArray selfDeleteScript(const QString& copy, const QString& script, const QString& folder) {
  const QString lines = QStringLiteral(
                            "#!/bin/sh\n"
                            "tries=0\n"
                            "while [ -e %1 ] && [ $tries -lt 60 ]; do\n"
                            "  rm -f %1 || sleep 1\n"
                            "  tries=$((tries + 1))\n"
                            "done\n"
                            "rm -f %2\n"
                            "flock %3 rmdir %3 2>/dev/null\n"
                            "exit 0\n")
                            .arg(shellQuoted(copy), shellQuoted(script), shellQuoted(folder));
  return QFile::encodeName(lines);
}

}  // namespace

int RelaunchFromTemp(const QString& modulePath) {
  const QString folder = SetupPaths::privateTempFolder();
  if (folder.isEmpty()) {
    ShowUnsafeFolderError(SetupPaths::privateFolderPath());
    return 1;
  }
  const QString copy = folder + QFileInfo(modulePath).fileName();
  // No copy is made that could never run.
  if (!CheckProgramFolder(copy)) return 1;
  if (QFileInfo::exists(copy)) {
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(copy);
  }
  if (!QFile::copy(modulePath, copy)) {
    QFile::remove(copy);
    ShowArchiveError(PayloadError::FileError);
    return 1;
  }
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (QProcess::startDetached(copy, {QStringLiteral("/OriginalPath:") + modulePath})) return 0;
  // Only a copy that runs removes itself; this one goes now, and the emptied folder with the run.
  QFile::remove(copy);
  ShowCannotStart(copy);
  return 1;
}

QString relaunchPathFor(const QString& modulePath, const QString& sourcePath) {
  if (sourcePath.isEmpty()) return {};
  return liesInPrivateTempFolder(modulePath) ? modulePath : QString();
}

void WriteSelfDeleteBatch(const QString& relaunchPath) {
  if (relaunchPath.isEmpty() || !liesInPrivateTempFolder(relaunchPath)) return;
  const QString folder = QFileInfo(relaunchPath).absolutePath();
  QTemporaryFile script(folder + QStringLiteral("/EXEXXXXXX.sh"));
  script.setAutoRemove(false);
  if (!script.open()) return;
  script.write(selfDeleteScript(relaunchPath, script.fileName(), folder));
  script.close();
  QProcess::startDetached(QStringLiteral("/bin/sh"), {script.fileName()});
}
