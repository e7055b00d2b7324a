#include "NoExecCheck.h"

#include <sys/statvfs.h>

#include <QFile>
#include <QFileInfo>

#include "SetupMessages.h"

bool folderAllowsPrograms(const QString& file) {
  struct statvfs info {};
  const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
  if (::statvfs(folder.constData(), &info) != 0) return true;
  return (info.f_flag & ST_NOEXEC) == 0;
}

bool CheckProgramFolder(const QString& file) {
  if (folderAllowsPrograms(file)) return true;
  const QString folder = QFileInfo(file).absolutePath();
  ShowSetupError(
      QStringLiteral("Setup cannot run \"%1\": the folder \"%2\" does not allow running programs.\n"
                     "Set TMPDIR to a folder that does, and run setup again.")
          .arg(QFileInfo(file).fileName(), folder));
  return false;
}
