#pragma once

#include <string>
#include <vector>

#include "FolderWalk.h"

// Removals below the root of a folder walk, never through a link, with no more
// descriptors open than the walk holds and one listing, however deep the tree.
namespace TreeRemoval {

// Removes `name` from the folder `levels`: a folder with everything in it,
// depth first; anything else (a link too) as itself. False when something stayed.
bool removeTree(FolderWalk& walk, const std::vector<std::string>& levels, const std::string& name);

// Removes the folders of `levels` below the first `kept` of them while they are
// empty, the deepest first.
void removeEmptyFolders(FolderWalk& walk, const std::vector<std::string>& levels, size_t kept);

}  // namespace TreeRemoval
