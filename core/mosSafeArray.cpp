#include "mosSafeArray.h"

#include "modPJL.h"

ByteView::ByteView() : home_("x"), data_(home_.constData()), size_(static_cast<qint32>(home_.size())) {}

void ByteView::pointInto(const QByteArray& buffer, qint32 offset, qint32 length) {
  data_ = buffer.constData() + offset;
  size_ = length;
}

void ByteView::goHome() {
  data_ = home_.constData();
  size_ = static_cast<qint32>(home_.size());
}

qint32 ArrayLength(QByteArrayView buffer) { return static_cast<qint32>(buffer.size()); }

qint32 FindBytes(QByteArrayView haystack, QByteArrayView needle) {
  if (needle.isEmpty()) return -1;
  const qint32 last = ArrayLength(haystack) - ArrayLength(needle);
  for (qint32 i = 0; i <= last; ++i) {
    if (haystack[i] != needle[0]) continue;
    qint32 k = 1;
    while (k < needle.size() && haystack[i + k] == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return -1;
}

namespace {

// One optional byte of a line-end run: counted once, and never stepped past the last byte.
struct LineEndScan {
  QByteArrayView buffer;
  qint32 upper;
  qint32 i;
  bool atLastByte = false;

  bool take(char wanted, qint32& termLen) {
    if (atLastByte || buffer[i] != wanted) return false;
    ++termLen;
    if (i < upper)
      ++i;
    else
      atLastByte = true;
    return true;
  }
};

}  // namespace

qint32 FindLineEnd(QByteArrayView buffer, qint32& termLen, qint32& start) {
  modPJL::Init();
  termLen = 0;
  const qint32 upper = ArrayLength(buffer) - 1;
  if (start < 0) start = 0;
  if (start > upper) return -1;
  const char nul = gNULBytes.at(0), cr = gCRBytes.at(0), lf = gLFBytes.at(0), esc = gESCBytes.at(0);
  qint32 pos = -1;
  LineEndScan scan{buffer, upper, start};
  while (scan.i <= upper) {
    const qint32 first = scan.i;
    if (scan.take(nul, termLen)) pos = first;
    scan.take(nul, termLen);
    const qint32 atCR = scan.i;
    if (scan.take(cr, termLen) && pos == -1) pos = atCR;
    const qint32 atLF = scan.i;
    if (scan.take(lf, termLen) && pos == -1) pos = atLF;
    if (!scan.atLastByte && scan.i > start && buffer[scan.i] == esc && pos == -1) {
      pos = scan.i;
      termLen = 0;
    }
    if (pos != -1) break;
    ++scan.i;
  }
  return pos;
}
