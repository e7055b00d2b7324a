#pragma once

#include <map>
#include <string>
#include <vector>

// How the decompressor judges the path of a block's member, in one place, so
// that the builder refuses exactly what the setup would. Plain C++: the
// decompressor links no Qt.
namespace MemberPath {

// The kernel's own bound: a path that needs more links followed fails with ELOOP.
constexpr int kMaxLinksFollowed = 40;

// A relative path whose parts never climb above where it starts.
bool staysInside(const std::string& path);

bool hasDotDotPart(const std::string& path);

// A link's target as read from the folder the link lies in; it stays inside
// when that path does.
std::string fromLinkFolder(const std::string& link, const std::string& target);

// `path` without its empty and "." parts, as the member is written ("a/b" of "./a//b/.").
std::string normalized(const std::string& path);

// The block's symbolic links by where they lie, so that a path is read as the
// file system reads it once they are made: a link can lead elsewhere through
// another one ("e" to "d/s/../.." climbs out when "d/s" links to "..").
class Links {
 public:
  enum class Reach { Inside, Outside, TooManyLinks };

  void add(const std::string& link, const std::string& target);
  // A hard link to `existing`: when that is a link, `path` becomes the same link.
  void addHardLink(const std::string& path, const std::string& existing);
  // What else was made at `path` replaced the link there.
  void remove(const std::string& path);

  // Where `path`, relative to the block's folder, leads with every link in it
  // followed, at most kMaxLinksFollowed; `through` gets the link followed last.
  Reach reach(const std::string& path, std::string* through = nullptr) const;
  // The links that lead out of the block's folder or follow too many links.
  std::vector<std::string> leaving() const;

 private:
  std::map<std::string, std::string> m_targets;
};

}  // namespace MemberPath
