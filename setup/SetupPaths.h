#pragma once

#include <QString>

// Where the setup program lives and where it may put its temporary files.
namespace SetupPaths {

// The full path of the running program image.
QString modulePath();

// $TMPDIR, else /tmp, always ending with "/".
QString tempFolder();

// The user's private folder inside the temporary folder ("KVTsetup-<uid>/"),
// created with mode 0700. Empty when it cannot be made, or when what stands
// there is not a real folder owned by the user and closed to others.
QString privateTempFolder();

// `folder` (ending with "/"), moved into the private folder when it lies in
// the temporary folder; empty when the private folder cannot be had.
QString privateWhenTemporary(const QString& folder);

// Removes the private folder when nothing is left in it.
void removePrivateTempFolderIfEmpty();

}  // namespace SetupPaths
