#include "MemberPath.h"

namespace MemberPath {

bool staysInside(const std::string& path) {
  if (path.empty() || path[0] == '/') return false;
  int depth = 0;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
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

}  // namespace MemberPath
