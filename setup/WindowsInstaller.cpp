#include "WindowsInstaller.h"

#include "CBootstrapConfig.h"
#include "FolderProperties.h"
#include "FourPartVersion.h"
#include "SetupMessages.h"
#include "ShellOpen.h"

namespace {

constexpr int kInstallerTooOld = 137;

}  // namespace

bool CheckInstallerVersion(const CBootstrapConfig& config, const FourPartVersion& msiVersion) {
  if (config.MinWIVer.isEmpty()) return true;
  const FourPartVersion required = FourPartVersion::Parse(config.MinWIVer);
  if (msiVersion.Compare(required) >= 0) return true;
  if (!config.HasOption(QStringLiteral("q")))
    ShowSetupError(setupText(kInstallerTooOld, {required.Format(), msiVersion.Format()}));
  return false;
}

QString installerProgram() { return ExpandFolderProperties(QStringLiteral("[SystemFolder]msiexec.exe")); }

std::optional<int> RunMsiexec(const QString& url, const QString& parameters) {
  const QString commandLine = QStringLiteral(" /i \"%1\" %2").arg(url, parameters);
  int exitCode = 0;
  if (!ShellOpen::runAndWait(installerProgram(), ShellOpen::splitCommandLine(commandLine), exitCode))
    return std::nullopt;
  return exitCode;
}
