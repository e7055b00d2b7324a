#pragma once

#include <QString>
#include <optional>

class CBootstrapConfig;
struct FourPartVersion;

// Windows Installer as the setup meets it: the program "[SystemFolder]msiexec.exe"
// and the version of "[SystemFolder]msi.dll".

// True when `msiVersion` is at least the configuration's `MinWIVer` (an empty
// one passes). A failure is shown unless the options hold "q".
bool CheckInstallerVersion(const CBootstrapConfig& config, const FourPartVersion& msiVersion);

// The installer program, with its folder property expanded.
QString installerProgram();

// Runs the installer on a package URL and waits: /i "<url>" <parameters>.
// Gives its exit code; nothing when it could not be started.
std::optional<int> RunMsiexec(const QString& url, const QString& parameters);
