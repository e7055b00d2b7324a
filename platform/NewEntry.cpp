#include "NewEntry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace NewEntry {

namespace {

// Makes the entry; when something stands at its name, removes that and makes it again.
template <typename Make>
bool inPlaceOfAny(int folder, const std::string& name, Make make) {
  if (make()) return true;
  return errno == EEXIST && ::unlinkat(folder, name.c_str(), 0) == 0 && make();
}

bool isSameEntry(int from, const std::string& existing, int folder, const std::string& name) {
  struct stat a {}, b {};
  return ::fstatat(from, existing.c_str(), &a, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstatat(folder, name.c_str(), &b, AT_SYMLINK_NOFOLLOW) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

}  // namespace

UniqueFd file(int folder, const std::string& name, mode_t mode) {
  constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  UniqueFd made;
  inPlaceOfAny(folder, name, [&] {
    made = UniqueFd(::openat(folder, name.c_str(), flags, mode));
    return made.valid();
  });
  return made;
}

bool link(int folder, const std::string& name, const std::string& target) {
  return inPlaceOfAny(folder, name, [&] { return ::symlinkat(target.c_str(), folder, name.c_str()) == 0; });
}

bool hardLink(int from, const std::string& existing, int folder, const std::string& name) {
  // Removing the name first would remove the very entry to be linked.
  if (isSameEntry(from, existing, folder, name)) return true;
  return inPlaceOfAny(folder, name,
                      [&] { return ::linkat(from, existing.c_str(), folder, name.c_str(), 0) == 0; });
}

}  // namespace NewEntry
