#pragma once

#include "KeyedCollection.h"

#include <QString>

// The inside of one tag of the system's tag-structured files (the paper-size
// catalogue and the option definitions), split by their shared rules: only the
// blank separates; the name is upper-cased; attributes are keyed "x" + the
// upper-cased attribute name; a double-quoted value may hold blanks and loses
// its double quotes; single quotes stay.
struct XmlTag {
  QString name;
  KeyedCollection<QString> params;
  // An attribute name occurred twice; only its first value is kept.
  bool duplicateAttribute = false;

  // `inside` is the text between "<" and ">".
  static XmlTag split(const QString& inside);
};
