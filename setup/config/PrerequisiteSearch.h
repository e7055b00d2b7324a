#pragma once

#include <QString>
#include <QStringList>

// The searches that tell which version of a prerequisite the machine holds.
// Each gives the texts it found; detection reads them as versions.
namespace PrerequisiteSearch {

// A file: "folder/name" or a bare name (looked for on every fixed drive),
// optionally followed by "?N" to search N levels of subfolders too. The first
// file found ends the search; its text is the file version of its version
// block, "0.0.0.0" when it has none.
QStringList SearchFiles(const QString& searchString);

// "ROOT\key" gives the names of the key's subkeys; "ROOT\key\\value\" the
// value's data; "ROOT\key\\value\text\" the data only when it equals text.
QStringList SearchRegistry(const QString& searchString);

// "ROOT\key\value" rewritten to "ROOT\key\\value\"; empty without a backslash.
QString RegistryValueSearch(const QString& searchString);

// The file version of `path` as "a.b.c.d"; "0.0.0.0" without a version block.
QString FileVersionText(const QString& path);

}  // namespace PrerequisiteSearch
