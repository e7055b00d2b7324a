#include "FolderWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool isLink(int parent, const char* name) {
  struct stat st {};
  return ::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

FolderWalk::FolderWalk(UniqueFd root, LinkLevel links) : m_root(std::move(root)), m_links(links) {}

int FolderWalk::open(const std::vector<std::string>& levels, size_t count, bool create, size_t* made) {
  if (made) *made = 0;
  if (!m_root.valid()) return -1;
  const size_t start = walkStart(levels, count);
  // The held levels are always the deepest ones.
  while (m_names.size() > start) {
    m_names.pop_back();
    if (!m_held.empty()) m_held.pop_back();
  }
  for (size_t i = start; i < count; ++i) {
    bool madeHere = false;
    UniqueFd level = openLevel(levels[i], create, madeHere);
    if (!level.valid()) return -1;
    if (madeHere && made && *made == 0) *made = count - i;
    m_names.push_back(levels[i]);
    m_held.push_back(std::move(level));
    if (m_held.size() > kHeldLevels) m_held.pop_front();
  }
  return deepest();
}

// The depth the walk goes on from: the levels shared with the folder reached
// last, when the deepest of them is held; else the root.
size_t FolderWalk::walkStart(const std::vector<std::string>& levels, size_t count) const {
  size_t shared = 0;
  while (shared < m_names.size() && shared < count && m_names[shared] == levels[shared]) ++shared;
  const size_t shallowestHeld = m_names.size() - m_held.size() + 1;
  return shared >= shallowestHeld ? shared : 0;
}

// A folder that is there costs one call; a missing one is made.
UniqueFd FolderWalk::openLevel(const std::string& name, bool create, bool& made) const {
  const int parent = deepest();
  UniqueFd folder(::openat(parent, name.c_str(), kFolderFlags));
  if (folder.valid() || !create) return folder;
  if (errno != ENOENT) {
    const bool replaced = m_links == LinkLevel::Replaced && isLink(parent, name.c_str()) &&
                          ::unlinkat(parent, name.c_str(), 0) == 0;
    if (!replaced) return folder;
  }
  made = ::mkdirat(parent, name.c_str(), 0777) == 0;
  return UniqueFd(::openat(parent, name.c_str(), kFolderFlags));
}

void FolderWalk::forget() {
  m_names.clear();
  m_held.clear();
}
