#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "FolderWalk.h"
#include "UniqueFd.h"

// File operations below a root folder that never leave it: payload names are
// checked before use, and no link below the root is ever followed (a link is
// removed as itself, never written through). The root itself is taken as given.
// However deep a path, only a few of its folders are held open at a time.

namespace ContainedPath {

// Why a payload name could land outside the folder it is extracted into.
enum class NameFault { None, Empty, Nul, Absolute, DriveLetter, DotPart, DotDotPart, EmptyPart, Outside };

// What is wrong with a payload name; a first part "C:" or "c:x" names a drive,
// which is absolute on Windows.
NameFault nameFault(const QString& payloadName);

// What is wrong with the path of a compressed block's member, as the
// decompressor reads it: only "/" separates its parts, and empty and "." parts
// are dropped.
NameFault memberFault(const QString& member);

// What is wrong with the target of the member link `link`: resolved from the
// link's own folder, without following other links, it may not leave the
// folder that the block is unpacked into (Outside).
NameFault linkFault(const QString& link, const QString& target);

// A payload name ("sub\\file.msi") as a native relative path ("sub/file.msi").
// Empty when nameFault finds a fault in it.
QString relativeName(const QString& payloadName);

// The folder part of a relative name ("sub" of "sub/file.msi"), empty when none.
QString folderPart(const QString& relative);

// Opens the folder `relative` below `root` (creating the missing levels when
// `create` is set; the root too). Invalid when a level is missing, is a link
// or cannot be made.
UniqueFd openFolder(const QString& root, const QString& relative, bool create);

// Creates the file `relative` below `root` for writing, making its missing
// folders. Always a new file: a file or link at its name is removed first (a
// link as itself), so that a process still reading the older file keeps it
// whole. Invalid when that fails, a link stands in place of one of its folders
// or a folder stands at its name.
UniqueFd createFile(const QString& root, const QString& relative);

// Creates files below one root one after another, as createFile does. The root
// and the deepest folders of the last file stay open (see FolderWalk), so that
// the next file in the same folders looks none of them up again.
class FileCreator {
 public:
  explicit FileCreator(const QString& root) : m_root(root) {}

  UniqueFd create(const QString& relative);
  // Deletes the file `relative` and its emptied folders, as removeFile does.
  void remove(const QString& relative);

 private:
  QString m_root;
  FolderWalk m_walk;
};

// Deletes the file `relative` below `root`, then its emptied folders from the
// deepest upwards, never the root itself.
void removeFile(const QString& root, const QString& relative);

// Deletes the folder `relative` below `root` with everything in it, depth
// first, then the folders it empties from the deepest upwards, never the root
// itself. An empty `relative` (the root itself) deletes nothing.
void removeTree(const QString& root, const QString& relative);

}  // namespace ContainedPath
