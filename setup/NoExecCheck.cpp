#include "NoExecCheck.h"

#include <sys/statvfs.h>

#include <QFile>
#include <QFileInfo>

#include "SetupMessages.h"

bool folderAllowsPrograms(const QString& folder) {
  struct statvfs info {};
  if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0) return true;
  return (info.f_flag & ST_NOEXEC) == 0;
}

bool CheckProgramFolder(const QString& file) {
  const QString folder = QFileInfo(file).absolutePath();
  if (folderAllowsPrograms(folder)) return true;
  ShowNoExecError(folder);
  return false;
}
