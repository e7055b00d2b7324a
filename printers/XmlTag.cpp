#include "XmlTag.h"

namespace {

// Only the blank counts as white space in a tag.
QString trimBlanks(const QString& text) {
  qsizetype from = 0;
  qsizetype to = text.size();
  while (from < to && text[from] == ' ') ++from;
  while (to > from && text[to - 1] == ' ') --to;
  return text.mid(from, to - from);
}

// Index of the first blank after `p`, or -1.
qsizetype nextBlank(const QString& body, qsizetype p) { return body.indexOf(' ', p + 1); }

// Where the attribute starting after the blank at `p` ends: the next blank, or,
// when a double quote opens before it and closes after it, the first blank after
// the closing quote. The end of the body when there is no such blank.
qsizetype attributeEnd(const QString& body, qsizetype p) {
  qsizetype next = nextBlank(body, p);
  const qsizetype quote = body.indexOf('"', p + 1);
  if (quote >= 0 && next >= 0 && quote < next) {
    const qsizetype closing = body.indexOf('"', quote + 1);
    if (closing > next) next = nextBlank(body, closing);
  }
  return next < 0 ? body.size() : next;
}

void addAttribute(XmlTag& tag, const QString& attribute) {
  const qsizetype eq = attribute.indexOf('=');
  QString key;
  QString value;
  if (eq >= 0 && eq < attribute.size() - 1) {
    key = QStringLiteral("x") + attribute.left(eq).toUpper();
    value = attribute.mid(eq + 1).remove('"');
  } else {
    key = QStringLiteral("x") + QString(attribute).remove('=').toUpper();
  }
  if (tag.params.contains(key)) {
    tag.duplicateAttribute = true;
    return;
  }
  tag.params.insert(key, value);
}

}  // namespace

XmlTag XmlTag::split(const QString& inside) {
  XmlTag tag;
  const QString body = trimBlanks(inside);
  qsizetype p = body.indexOf(' ');
  tag.name = (p < 0 ? body : body.left(p)).toUpper();
  while (p >= 0 && p < body.size()) {
    const qsizetype next = attributeEnd(body, p);
    addAttribute(tag, body.mid(p + 1, next - p - 1));
    p = next;
  }
  return tag;
}
