#pragma once

#include <QString>

// The command line of the external program that shows a document: a program
// path in double quotes followed by arguments.
class clsViewer {
 public:
  // `programFolder` is the folder of the running program; the default viewer
  // is sought in the folders beside it.
  explicit clsViewer(const QString& programFolder = QString());

  QString path;

  bool SaveToReg();
  // The program path of `testPath` names an existing file.
  bool viewerExists(const QString& testPath) const;
  QString targetFile() const;
  QString targetArgs() const;
  // Reads the stored viewer; when its program is gone, looks for the default.
  bool LoadFromReg();

 private:
  // The first sibling folder matching `pattern` that holds `program`, as a
  // viewer command line; empty when there is none.
  QString findSiblingViewer(const QString& pattern, const QString& program) const;

  QString programFolder_;
};
