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

std::string normalized(const std::string& path) { return joined(levels(path)); }

std::vector<std::string> levels(const std::string& path) {
  std::vector<std::string> kept;
  for (std::string& part : parts(path))
    if (!isDropped(part)) kept.push_back(std::move(part));
  return kept;
}

Reach reach(const std::string& path, const LinkLookup& lookup, std::string* through) {
  if (path.starts_with('/')) return Reach::Outside;
  std::vector<std::string> reached;
  const std::vector<std::string> start = parts(path);
  std::deque<std::string> pending(start.begin(), start.end());
  int followed = 0;
  std::string target;
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
    if (!lookup(reached, target)) continue;
    if (through) *through = joined(reached);
    if (++followed > kMaxLinksFollowed) return Reach::TooManyLinks;
    reached.pop_back();
    if (target.starts_with('/')) return Reach::Outside;
    const std::vector<std::string> next = parts(target);
    pending.insert(pending.begin(), next.begin(), next.end());
  }
  return Reach::Inside;
}

void Links::add(const std::string& link, const std::string& target) { m_targets[normalized(link)] = target; }

Reach Links::reach(const std::string& path, std::string* through) const {
  return MemberPath::reach(
      path,
      [this](const std::vector<std::string>& levels, std::string& target) {
        const auto link = m_targets.find(joined(levels));
        if (link == m_targets.end()) return false;
        target = link->second;
        return true;
      },
      through);
}

}  // namespace MemberPath
