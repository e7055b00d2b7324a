#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The setup's command line: one text, searched for switches as plain substrings.
namespace SetupCommandLine {

// The program's arguments as one text, joined with blanks. An argument that
// holds a blank is quoted after its colon when it is a "/name:value" switch,
// whole otherwise.
QString join(const QStringList& args);

// True when `name` appears anywhere in the text (case-sensitive).
bool hasSwitch(const QString& cmdLine, const QString& name);

// The value after the first `name` ("/extract:"): from a leading double quote to
// the next one, else to the next blank, else to the end. Nothing when the switch
// is absent.
std::optional<QString> switchValue(const QString& cmdLine, const QString& name);

// The package parameters followed by the two properties that tell the package
// where the setup program lies.
QString AppendSetupProperties(const QString& parameters, const QString& archivePath);

}  // namespace SetupCommandLine
