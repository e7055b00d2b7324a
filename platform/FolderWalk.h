#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "UniqueFd.h"

// Folders below a root held open, reached one level at a time and never
// through a link: a level swapped for a link meanwhile cannot lead a write or a
// removal elsewhere. The deepest levels of the folder reached last stay open,
// so that the next path in the same folders looks none of them up again; never
// more than kHeldLevels of them, however deep the path: depth costs time, not
// descriptors, and a folder above the held ones is walked to from the root.
class FolderWalk {
 public:
  static constexpr size_t kHeldLevels = 16;

  // What a level that is a link becomes where folders are made: the walk fails
  // there, or the link is removed as itself and a folder made in its place.
  enum class LinkLevel { Fails, Replaced };

  FolderWalk() = default;
  explicit FolderWalk(UniqueFd root, LinkLevel links = LinkLevel::Fails);

  bool valid() const { return m_root.valid(); }
  int root() const { return m_root.get(); }

  // The folder of the first `count` of `levels` below the root, open until the
  // next call; -1 when a level is missing (and `create` is not set), is no
  // folder or cannot be made. `made`, when given, gets how many levels the call
  // made: always the deepest of them.
  int open(const std::vector<std::string>& levels, size_t count, bool create, size_t* made = nullptr);
  int open(const std::vector<std::string>& levels, bool create) {
    return open(levels, levels.size(), create);
  }

  // Lets go of the held levels, which a removal may have taken away.
  void forget();

 private:
  int deepest() const { return m_held.empty() ? m_root.get() : m_held.back().get(); }
  size_t walkStart(const std::vector<std::string>& levels, size_t count) const;
  UniqueFd openLevel(const std::string& name, bool create, bool& made) const;

  UniqueFd m_root;
  LinkLevel m_links = LinkLevel::Fails;
  std::vector<std::string> m_names;  // the levels of the folder reached last
  std::deque<UniqueFd> m_held;       // the deepest of them, open
};
