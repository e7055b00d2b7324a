#include "NoExecCheck.h"

#include <sys/statvfs.h>

#include <QFile>
#include <QFileInfo>

#include "SetupMessages.h"

namespace {

QString withSlash(const QString& folder) { return folder.endsWith('/') ? folder : folder + '/'; }

// KVT_NOEXEC_FOLDER names a folder that counts as on a "noexec" mount, with all
// below it: tests stand in so for a mount they may not make.
bool standsInForNoExec(const QString& folder) {
  const QString named = qEnvironmentVariable("KVT_NOEXEC_FOLDER");
  return !named.isEmpty() && withSlash(folder).startsWith(withSlash(named));
}

}  // namespace

bool folderAllowsPrograms(const QString& folder) {
  if (standsInForNoExec(folder)) return false;
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
