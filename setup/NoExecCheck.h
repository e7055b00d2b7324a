#pragma once

#include <QString>

// Programs the setup extracted or downloaded cannot run from a folder whose
// file system forbids it (a "noexec" mount, common for /tmp).

// True when programs may run from `folder`.
bool folderAllowsPrograms(const QString& folder);

// True when `file` can be run; otherwise tells the user (on the user-interface
// thread) which folder is at fault and gives false.
bool CheckProgramFolder(const QString& file);
