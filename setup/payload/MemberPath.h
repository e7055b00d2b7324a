#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

// How the decompressor judges the path of a block's member, in one place, so
// that the builder refuses exactly what the setup would. Plain C++: the
// decompressor links no Qt.
namespace MemberPath {

// The kernel's own bounds: a path that needs more links followed fails with
// ELOOP, and no longer path is opened by name.
constexpr int kMaxLinksFollowed = 40;
constexpr size_t kMaxPathLength = 4095;

// A relative path whose parts never climb above where it starts.
bool staysInside(const std::string& path);

bool hasDotDotPart(const std::string& path);

// A link's target as read from the folder the link lies in; it stays inside
// when that path does.
std::string fromLinkFolder(const std::string& link, const std::string& target);

// `path` without its empty and "." parts, as the member is written ("a/b" of "./a//b/.").
std::string normalized(const std::string& path);
// The same parts, one a level.
std::vector<std::string> levels(const std::string& path);

enum class Reach { Inside, Outside, TooManyLinks };

// Whether a link lies at `path` (levels none of which is a link), and its target.
using LinkLookup = std::function<bool(const std::vector<std::string>& path, std::string& target)>;

// Where `path`, relative to the block's folder, leads with every link in it
// followed as `lookup` finds them, at most kMaxLinksFollowed; `through` gets the
// link followed last. A link's target is read from the link's own folder.
Reach reach(const std::string& path, const LinkLookup& lookup, std::string* through = nullptr);

// The block's symbolic links by where they lie, so that a path is read as the
// file system reads it once they are made: a link can lead elsewhere through
// another one ("e" to "d/s/../.." climbs out when "d/s" links to "..").
class Links {
 public:
  void add(const std::string& link, const std::string& target);
  Reach reach(const std::string& path, std::string* through = nullptr) const;

 private:
  std::map<std::string, std::string> m_targets;
};

}  // namespace MemberPath
