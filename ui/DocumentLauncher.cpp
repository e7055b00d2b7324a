#include "DocumentLauncher.h"

#include <QProcess>

#include "modLumasetCommon.h"

namespace DocumentLauncher {

namespace {

// The viewer runs on its own; a program that cannot be started shows nothing.
void startDetached(const QString& commandLine) {
  QStringList parts = SplitCommandLine(commandLine);
  if (parts.isEmpty()) return;
  const QString program = parts.takeFirst();
  QProcess::startDetached(program, parts);
}

Launcher desktopLauncher() {
  return {[](const QString& file) { ShellExecuteWait(file, false); }, startDetached};
}

Launcher& launcher() {
  static Launcher current = desktopLauncher();
  return current;
}

}  // namespace

const Launcher& current() { return launcher(); }

void setLauncher(Launcher replacement) {
  launcher() =
      replacement.openWithShell && replacement.runCommand ? std::move(replacement) : desktopLauncher();
}

}  // namespace DocumentLauncher
