#pragma once

#include <QFile>
#include <QString>

#include "KeyedCollection.h"

// Reads a tag-structured text file one tag at a time. The whole rest of the
// file is taken into memory on the first search; the caller keeps track of
// where it is in the file's structure.
class clsXML {
 public:
  clsXML() = default;
  ~clsXML();
  clsXML(const clsXML&) = delete;
  clsXML& operator=(const clsXML&) = delete;

  // True when the file is open for reading; a reader already open stays on its file.
  bool openFile(const QString& path);
  void closeFile();

  // The text of the element whose opening tag was just read, up to its closing
  // tag "/" + `tag` (upper case); a closing LINE tag becomes CR LF.
  QString ReadData(const QString& tag);

  // The next tag's name, upper-cased, with its attributes in `Params`; "" when
  // there is none. `ok` becomes false when the tag names an attribute twice:
  // the tag is consumed all the same, so reading can go on with the next one.
  QString ReadXMLTag(KeyedCollection<QString>& Params, bool* ok = nullptr);

 private:
  void fillBuffer();
  // 1-based index of `text` from `position` on, or 0; a fill re-bases `position`.
  qsizetype inBuffer(qsizetype& position, const QString& text);

  bool allRead() const;
  qsizetype find(qsizetype position, const QString& text) const;

  QFile file_;
  QString buffer_;
  // 1-based index of the first character not yet consumed.
  qsizetype position_ = 1;
  // File offset of the buffer's first character (one byte a character).
  qint64 bufferStart_ = 0;
};
