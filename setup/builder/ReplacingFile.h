#pragma once

#include <QString>

#include "ContainedPath.h"

// A new file written beside `target` under a name of its own and renamed over
// the target only once it is complete and on disk, so that a failed build
// leaves the old target as it was (or none). A link as target is replaced
// through: the file it names gets the new contents.
class ReplacingFile {
 public:
  explicit ReplacingFile(const QString& target);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  // Removes the unfinished file unless it was committed.
  ~ReplacingFile();

  // Creates the file, an executable one (0755 less the umask).
  bool open();
  int fd() const { return m_fd.get(); }
  // Where the bytes go until the commit.
  const QString& path() const { return m_path; }

  // Syncs and closes the file and renames it over the target.
  bool commit();

 private:
  QString m_target;
  QString m_path;
  UniqueFd m_fd;
  bool m_committed = false;
};
