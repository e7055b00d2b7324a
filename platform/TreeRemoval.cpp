#include "TreeRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace TreeRemoval {

namespace {

bool isFolder(int folder, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
  struct stat st {};
  return ::fstatat(folder, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Removes what the open folder holds that is no folder, and gives the names of
// its subfolders. A listing of its own: the walk's descriptor keeps no position.
bool removeFilesIn(int folder, std::vector<std::string>& subfolders) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
  if (!dir) {
    if (listing >= 0) ::close(listing);
    return false;
  }
  bool removed = true;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (isFolder(folder, *entry))
      subfolders.push_back(name);
    else if (::unlinkat(folder, entry->d_name, 0) != 0)
      removed = false;
  }
  ::closedir(dir);
  return removed;
}

// Removes the last level of `path` from its parent.
bool removeLast(FolderWalk& walk, const std::vector<std::string>& path, int flags) {
  const int parent = walk.open(path, path.size() - 1, false);
  return parent >= 0 && (::unlinkat(parent, path.back().c_str(), flags) == 0 || errno == ENOENT);
}

}  // namespace

bool removeTree(FolderWalk& walk, const std::vector<std::string>& levels, const std::string& name) {
  std::vector<std::string> path = levels;
  path.push_back(name);
  // Per folder of `path` below `levels`: its subfolders still to remove.
  std::vector<std::vector<std::string>> pending;
  bool whole = true;
  while (path.size() > levels.size()) {
    if (pending.size() < path.size() - levels.size()) {
      const int folder = walk.open(path, false);
      if (folder < 0) {
        whole = removeLast(walk, path, 0) && whole;
        path.pop_back();
        continue;
      }
      pending.emplace_back();
      whole = removeFilesIn(folder, pending.back()) && whole;
    }
    if (!pending.back().empty()) {
      path.push_back(std::move(pending.back().back()));
      pending.back().pop_back();
      continue;
    }
    pending.pop_back();
    whole = removeLast(walk, path, AT_REMOVEDIR) && whole;
    path.pop_back();
  }
  return whole;
}

void removeEmptyFolders(FolderWalk& walk, const std::vector<std::string>& levels, size_t kept) {
  for (size_t depth = levels.size(); depth > kept; --depth) {
    const int parent = walk.open(levels, depth - 1, false);
    if (parent < 0 || ::unlinkat(parent, levels[depth - 1].c_str(), AT_REMOVEDIR) != 0) return;
  }
}

}  // namespace TreeRemoval
