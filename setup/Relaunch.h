#pragma once

#include <QString>

// A setup program on a drive that may go away runs again from a copy in the
// user's private temporary folder; that copy removes itself when it ends.

// Copies the program into the private temporary folder and starts the copy with
// "/OriginalPath:" naming the program. 0 when the copy was started, else 1.
int RelaunchFromTemp(const QString& modulePath);

// The file a relaunched copy removes when it ends: the running program itself,
// and only when it is a copy lying in the private temporary folder; else empty.
QString relaunchPathFor(const QString& modulePath, const QString& sourcePath);

// Starts a shell script that removes `relaunchPath` once it can, then itself.
// Does nothing for a path outside the private temporary folder.
void WriteSelfDeleteBatch(const QString& relaunchPath);
