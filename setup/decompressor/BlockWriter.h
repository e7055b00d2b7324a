#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "FolderWalk.h"
#include "MemberPath.h"
#include "UniqueFd.h"

// Makes the members of a compressed block below the folder it is unpacked
// into, as the setup writes its stored entries: every file, folder and link
// made in a folder held open, reached level by level without following a link,
// and new in place of whatever stood at its name. It remembers what it made, so
// that a block that fails leaves nothing of it, and reads the links it made as
// they stand on disk.
class BlockWriter {
 public:
  explicit BlockWriter(UniqueFd destination);

  bool valid() const { return m_walk.valid(); }

  // Each takes the member's path as levels below the destination.
  bool makeFolder(const std::vector<std::string>& levels);
  UniqueFd makeFile(const std::vector<std::string>& levels, mode_t mode);
  bool makeLink(const std::vector<std::string>& levels, const std::string& target);
  // A hard link may not take in what lies outside, nor be a link that leads out.
  bool makeHardLink(const std::vector<std::string>& levels, const std::vector<std::string>& existing);

  // True when every link made leads, as the disk stands, to a place inside.
  bool linksStayInside();
  // Removes what was made, the last first; what stood there before is not put back.
  void removeMade();

 private:
  struct Made {
    bool folder;
    std::string path;
  };

  // The folder of the member at `levels` (all but its last), made when missing.
  int openFolderOf(const std::vector<std::string>& levels);
  void recordFolders(const std::vector<std::string>& levels, size_t count, size_t made);
  void recordEntry(const std::vector<std::string>& levels);
  MemberPath::Reach reach(const std::string& path);
  bool readLink(const std::vector<std::string>& levels, std::string& target);

  FolderWalk m_walk;
  std::vector<Made> m_made;
  std::vector<std::string> m_links;
};
