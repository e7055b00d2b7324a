#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <functional>

// Replaces the file at a path (the file a link points to, when it is one): the new contents
// go to a temporary file of their own beside it, which is synced and renamed over it, so the
// file is always whole, old or new. An existing file keeps its permissions and must be
// writable. Temporary files that an earlier replacement of the same file left behind (its
// program killed) are removed first; one that another program is still writing stays.
class FileReplacement {
 public:
  // A file that does not exist yet gets `newFileMode`, less the umask.
  explicit FileReplacement(const QString& path, mode_t newFileMode = 0666);
  // Removes the temporary file unless it was committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Makes the temporary file; false when the file may not be written or none can be made.
  bool open();
  // Where the new contents go until the commit.
  int fd() const { return fd_; }
  const QString& temporaryPath() const { return temporary_; }

  // Syncs the temporary file, renames it over the file and syncs the folder.
  bool commit();

 private:
  void discard();

  QString target_;
  mode_t newFileMode_;
  QString temporary_;
  int fd_ = -1;
};

// Replaces the file at `path` by `bytes`, as a `FileReplacement` does.
bool replaceFile(const QString& path, const QByteArray& bytes);

// The call that syncs a written file, then its folder, to disk: fsync, unless a test puts
// another in its place (an empty function puts fsync back).
void setSyncCall(std::function<int(int fd)> call);
