#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The setup's command line: one text, searched for switches as plain substrings.
namespace SetupCommandLine {

// The program's arguments as one text, joined with blanks, that the Windows
// split gives back unchanged. An argument that holds a blank or a double quote,
// or is empty, is quoted: after its colon when it is a "/name:value" switch,
// whole otherwise.
QString join(const QStringList& args);

// True when `name` appears anywhere in the text (case-sensitive).
bool hasSwitch(const QString& cmdLine, const QString& name);

// The value after the first `name` ("/extract:"): a quoted value as the Windows
// split reads it, else up to the next blank or the end. Nothing when the switch
// is absent.
std::optional<QString> switchValue(const QString& cmdLine, const QString& name);

// The package parameters followed by the two properties that tell the package
// where the setup program lies, their values quoted as join quotes.
QString AppendSetupProperties(const QString& parameters, const QString& archivePath);

}  // namespace SetupCommandLine
