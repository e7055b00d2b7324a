#include "BlockWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "NewEntry.h"

namespace {

std::string joined(const std::vector<std::string>& levels, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) path += (i ? "/" : "") + levels[i];
  return path;
}

bool isLinkAt(int folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

// A link in the way of a folder is removed as itself, as one in the way of a file is.
BlockWriter::BlockWriter(UniqueFd destination)
    : m_walk(std::move(destination), FolderWalk::LinkLevel::Replaced) {}

bool BlockWriter::makeFolder(const std::vector<std::string>& levels) {
  size_t made = 0;
  if (m_walk.open(levels, levels.size(), true, &made) < 0) return false;
  recordFolders(levels, levels.size(), made);
  return true;
}

UniqueFd BlockWriter::makeFile(const std::vector<std::string>& levels, mode_t mode) {
  const int folder = openFolderOf(levels);
  if (folder < 0) return {};
  UniqueFd file = NewEntry::file(folder, levels.back(), mode);
  if (file.valid()) recordEntry(levels);
  return file;
}

bool BlockWriter::makeLink(const std::vector<std::string>& levels, const std::string& target) {
  const int folder = openFolderOf(levels);
  if (folder < 0 || !NewEntry::link(folder, levels.back(), target)) return false;
  recordEntry(levels);
  m_links.push_back(joined(levels, levels.size()));
  return true;
}

bool BlockWriter::makeHardLink(const std::vector<std::string>& levels, const std::vector<std::string>& existing) {
  if (levels.empty() || existing.empty()) return false;
  const std::string existingPath = joined(existing, existing.size());
  if (reach(existingPath) != MemberPath::Reach::Inside) return false;
  // Held apart from the walk, which goes on to the new name's folder.
  const UniqueFd from = UniqueFd::copyOf(m_walk.open(existing, existing.size() - 1, false));
  const int folder = from.valid() ? openFolderOf(levels) : -1;
  if (folder < 0 || !NewEntry::hardLink(from.get(), existing.back(), folder, levels.back())) return false;
  recordEntry(levels);
  if (!isLinkAt(from.get(), existing.back())) return true;
  // One more name of a link, whose target is now read from this name's folder.
  m_links.push_back(joined(levels, levels.size()));
  return reach(m_links.back()) == MemberPath::Reach::Inside;
}

bool BlockWriter::linksStayInside() {
  for (const std::string& link : m_links)
    if (reach(link) != MemberPath::Reach::Inside) return false;
  return true;
}

void BlockWriter::removeMade() {
  for (auto made = m_made.rbegin(); made != m_made.rend(); ++made) {
    const std::vector<std::string> levels = MemberPath::levels(made->path);
    const int folder = m_walk.open(levels, levels.size() - 1, false);
    if (folder >= 0) ::unlinkat(folder, levels.back().c_str(), made->folder ? AT_REMOVEDIR : 0);
  }
  m_made.clear();
  m_links.clear();
  m_walk.forget();
}

int BlockWriter::openFolderOf(const std::vector<std::string>& levels) {
  if (levels.empty()) return -1;
  size_t made = 0;
  const int folder = m_walk.open(levels, levels.size() - 1, true, &made);
  if (folder >= 0) recordFolders(levels, levels.size() - 1, made);
  return folder;
}

// The walk made the deepest `made` of the first `count` levels.
void BlockWriter::recordFolders(const std::vector<std::string>& levels, size_t count, size_t made) {
  for (size_t depth = count - made + 1; depth <= count; ++depth) m_made.push_back({true, joined(levels, depth)});
}

void BlockWriter::recordEntry(const std::vector<std::string>& levels) {
  m_made.push_back({false, joined(levels, levels.size())});
}

MemberPath::Reach BlockWriter::reach(const std::string& path) {
  return MemberPath::reach(path, [this](const std::vector<std::string>& levels, std::string& target) {
    return readLink(levels, target);
  });
}

bool BlockWriter::readLink(const std::vector<std::string>& levels, std::string& target) {
  const int folder = m_walk.open(levels, levels.size() - 1, false);
  if (folder < 0) return false;
  char bytes[PATH_MAX];
  const ssize_t length = ::readlinkat(folder, levels.back().c_str(), bytes, sizeof bytes);
  if (length <= 0) return false;
  target.assign(bytes, size_t(length));
  return true;
}
