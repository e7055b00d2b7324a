#pragma once

#include <sys/types.h>

#include <string>

#include "UniqueFd.h"

// Entries made new in an open folder: whatever stands at the name is removed
// first (a link as itself), so that a process still reading an older file there
// keeps it whole; a folder at the name stays, and the making fails on it.
namespace NewEntry {

// A new file, open for writing; invalid when it cannot be made.
UniqueFd file(int folder, const std::string& name, mode_t mode);

// A new symbolic link to `target`.
bool link(int folder, const std::string& name, const std::string& target);

// A new name for `existing` in the open folder `from`: for a link, the link
// itself, never what it leads to. A name that is already that entry stays.
bool hardLink(int from, const std::string& existing, int folder, const std::string& name);

}  // namespace NewEntry
