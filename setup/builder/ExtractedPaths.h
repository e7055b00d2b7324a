#pragma once

#include <QString>
#include <map>

// The paths that the setup's extraction writes, relative to the extraction
// folder, each with what writes it. Two written as the same file, or one as a
// file where another needs a folder, would lose one of them.
class ExtractedPaths {
 public:
  struct Origin {
    QString kind;   // "name" for a table entry, "member" for one of the block's
    QString given;  // as the builder was given it
  };

  // A table entry's path; the error when an earlier entry has it.
  QString addEntry(const QString& relative, const Origin& origin);
  // A file written at `relative`; the error when a file was written or a folder is needed there.
  QString addFile(const QString& relative, const Origin& origin);
  // `folder` and those above it, made for `origin`; the error when one of them is a file.
  QString addFolders(QString folder, const Origin& origin);

 private:
  std::map<QString, Origin> m_entries;
  std::map<QString, Origin> m_files;
  std::map<QString, Origin> m_folders;
};
