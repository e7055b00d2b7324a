#pragma once

#include <QString>

// Where the setup program lives and where it may put its temporary files.
namespace SetupPaths {

// The full path of the running program image.
QString modulePath();

// $TMPDIR, else /tmp, always ending with "/".
QString tempFolder();

// The path of the user's private folder inside the temporary folder
// ("KVTsetup-<uid>/"), whether it exists or not.
QString privateFolderPath();

// The user's private folder, created with mode 0700 when missing. Empty when
// it cannot be made, or when what stands there is not a real folder owned by
// the user and closed to others.
QString privateTempFolder();

// True when the open folder `fd` is a real folder owned by the user and closed to others.
bool isSafePrivateFolder(int fd);

// `folder` (ending with "/"), moved into the private folder when it lies in
// the temporary folder; empty when the private folder cannot be had.
QString privateWhenTemporary(const QString& folder);

}  // namespace SetupPaths
