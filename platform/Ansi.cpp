#include "Ansi.h"

#include <QStringEncoder>

namespace {

constexpr const char* kCodePage = "windows-1252";

// What the bytes 0x80 to 0x9F stand for; the rest of the code page is Latin-1.
constexpr char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t unicodeOf(quint8 byte) { return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte; }

// The byte of a character of the code page; -1 for any other character.
int byteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == c) return 0x80 + i;
  return -1;
}

// Text with characters outside the code page: the full converter decides how to stand in for them.
QByteArray toAnsiWithStandIns(const QString& text) {
  QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
  return encoder.encode(text);
}

}  // namespace

// The code page is converted by hand: a converter object costs far more to set up than most texts take.
QByteArray toAnsi(const QString& text) {
  QByteArray out(text.size(), Qt::Uninitialized);
  char* to = out.data();
  for (const QChar c : text) {
    const int byte = byteOf(c.unicode());
    if (byte < 0) return toAnsiWithStandIns(text);
    *to++ = static_cast<char>(byte);
  }
  return out;
}

QByteArray toAnsi(const QString& text, char standIn) {
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    const int byte = byteOf(c);
    out.append(byte < 0 ? standIn : static_cast<char>(byte));
    // A character beyond the first plane takes two units but is one character.
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
  }
  return out;
}

QString fromAnsi(const char* data, qsizetype length) {
  QString out(length, Qt::Uninitialized);
  QChar* to = out.data();
  for (qsizetype i = 0; i < length; ++i) to[i] = QChar(unicodeOf(static_cast<quint8>(data[i])));
  return out;
}

QString fromAnsi(const QByteArray& bytes) { return fromAnsi(bytes.constData(), bytes.size()); }
