#pragma once

#include <QByteArray>
#include <QString>
#include <map>

// The paths that the setup's extraction writes, relative to the extraction
// folder as the file system names them (bytes), each with what writes it. Two
// written as the same file, or one as a file where another needs a folder,
// would lose one of them.
class ExtractedPaths {
 public:
  struct Origin {
    QString kind;   // "name" for a table entry, "member" for one of the block's
    QString given;  // as the builder was given it
  };

  // A table entry's path; the error when an earlier entry has it.
  QString addEntry(const QByteArray& relative, const Origin& origin);
  // A file written at `relative`; the error when a file was written or a folder is needed there.
  QString addFile(const QByteArray& relative, const Origin& origin);
  // `folder` and those above it, made for `origin`; the error when one of them is a file.
  QString addFolders(QByteArray folder, const Origin& origin);

  // The folder part of `relative` ("sub" of "sub/a"), empty when none.
  static QByteArray folderOf(const QByteArray& relative);

 private:
  std::map<QByteArray, Origin> m_entries;
  std::map<QByteArray, Origin> m_files;
  std::map<QByteArray, Origin> m_folders;
};
