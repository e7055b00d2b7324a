#pragma once

#include <QString>

// Programs the setup extracted or downloaded cannot run from a folder whose
// file system forbids it (a "noexec" mount, common for /tmp).

// True when programs may run from the folder of `file`.
bool folderAllowsPrograms(const QString& file);

// True when `file` can be run; otherwise tells the user which folder is at fault
// and that TMPDIR can point elsewhere, and gives false.
bool CheckProgramFolder(const QString& file);
