#include "MemberPath.h"

#include <deque>

namespace MemberPath {

namespace {

std::vector<std::string> parts(const std::string& path) {
  std::vector<std::string> found;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    found.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return found;
}

bool isDropped(const std::string& part) { return part.empty() || part == "."; }

std::string joined(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) path += (path.empty() ? "" : "/") + part;
  return path;
}

}  // namespace

bool staysInside(const std::string& path) {
  if (path.empty() || path[0] == '/') return false;
  int depth = 0;
  for (const std::string& part : parts(path)) {
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!isDropped(part)) {
      ++depth;
    }
  }
  return true;
}

bool hasDotDotPart(const std::string& path) {
  return path == ".." || path.starts_with("../") || path.ends_with("/..") ||
         path.find("/../") != std::string::npos;
}

std::string fromLinkFolder(const std::string& link, const std::string& target) {
  return link.substr(0, link.rfind('/') + 1) + target;
}

std::string normalized(const std::string& path) {
  std::vector<std::string> kept;
  for (std::string& part : parts(path))
    if (!isDropped(part)) kept.push_back(std::move(part));
  return joined(kept);
}

void Links::add(const std::string& link, const std::string& target) { m_targets[normalized(link)] = target; }

void Links::addHardLink(const std::string& path, const std::string& existing) {
  const auto link = m_targets.find(normalized(existing));
  if (link == m_targets.end())
    remove(path);
  else
    add(path, link->second);
}

void Links::remove(const std::string& path) { m_targets.erase(normalized(path)); }

Links::Reach Links::reach(const std::string& path, std::string* through) const {
  if (path.starts_with('/')) return Reach::Outside;
  std::vector<std::string> reached;
  const std::vector<std::string> start = parts(path);
  std::deque<std::string> pending(start.begin(), start.end());
  int followed = 0;
  while (!pending.empty()) {
    const std::string part = std::move(pending.front());
    pending.pop_front();
    if (isDropped(part)) continue;
    if (part == "..") {
      if (reached.empty()) return Reach::Outside;
      reached.pop_back();
      continue;
    }
    reached.push_back(part);
    const auto link = m_targets.find(joined(reached));
    if (link == m_targets.end()) continue;
    if (through) *through = link->first;
    if (++followed > kMaxLinksFollowed) return Reach::TooManyLinks;
    // The target is read from the link's own folder.
    reached.pop_back();
    if (link->second.starts_with('/')) return Reach::Outside;
    const std::vector<std::string> target = parts(link->second);
    pending.insert(pending.begin(), target.begin(), target.end());
  }
  return Reach::Inside;
}

std::vector<std::string> Links::leaving() const {
  std::vector<std::string> found;
  for (const auto& [link, target] : m_targets)
    if (reach(link) != Reach::Inside) found.push_back(link);
  return found;
}

}  // namespace MemberPath
