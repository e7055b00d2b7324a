#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Replaces the file at `path` (the file a link points to, when it is one) by `bytes`: they
// are written to a temporary file of their own beside it, synced, and renamed over it, so
// the file is always whole, old or new. An existing file keeps its permissions and must be
// writable. Temporary files that an earlier replacement of the same file left behind (its
// program killed) are removed first; one that another program is still writing stays.
bool replaceFile(const QString& path, const QByteArray& bytes);

// The call that syncs a written file, then its folder, to disk: fsync, unless a test puts
// another in its place (an empty function puts fsync back).
void setSyncCall(std::function<int(int fd)> call);
