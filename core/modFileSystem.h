#pragma once

#include <QString>
#include <QStringList>

class QFile;

// Path helpers on native paths ("/" separated).

// A folder (isFolder) or a file of that name exists.
bool PathExists(const QString& path, bool isFolder);

// The path without its last component; "/" for a top-level entry; empty when
// there is no folder part.
QString GetParentFolderName(const QString& path);

// The last component.
QString GetFileName(const QString& path);
QString ExtractFileName(const QString& path);

// The last component without its extension (split at the last ".").
QString GetBaseName(const QString& path);

// The text after the last "." of the last component; empty when there is none.
QString GetExtensionName(const QString& path);

// A path not yet taken, derived from `path` by a counter after `sep` (default "_").
// An existing folder counts as free when `allowFolder`. `sep` may be changed.
QString GetUniquePath(const QString& path, bool allowFolder, QString& sep);

// Creates the folder and every missing parent; errors are ignored.
void CreateFolderPath(const QString& path);

// Bytes in a file, or in a folder and everything below it; 0 when neither exists.
qint64 GetPathSize(const QString& path);

// Names of a folder's sub-folders, and of its files, sorted without regard to
// case. `ok` is false when the folder cannot be read.
QStringList GetSubFolderNames(const QString& folder, bool* ok = nullptr);
QStringList GetFileNames(const QString& folder, bool* ok = nullptr);

// What a path names, links followed.
enum class PathKind {
  File,      // a regular file
  Missing,   // nothing that can be found: no such entry, a link to nothing, a folder closed to us
  NotAFile,  // a folder, FIFO, device or socket, or a loop of links
};
// Looks only: nothing is opened, so nothing can block.
PathKind pathKind(const QString& path);

// Opens a regular file for reading. Never blocks, and never opens anything else
// (a FIFO or a device that took the file's place).
bool openRegularFile(QFile& file, const QString& path);
