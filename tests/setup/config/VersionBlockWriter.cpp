#include "VersionBlockWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace VersionBlockWriter {

namespace {

void putWord(QByteArray& out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); }
void putDword(QByteArray& out, quint32 v) {
  putWord(out, v & 0xFFFF);
  putWord(out, v >> 16);
}
void putText(QByteArray& out, const QString& text) {
  for (QChar c : text) putWord(out, c.unicode());
  putWord(out, 0);
}
void pad(QByteArray& out) {
  while (out.size() % 4) out.append('\0');
}

// A node: header, key, value bytes, children; wLength patched at the end.
QByteArray node(const QString& key, quint16 valueLength, quint16 type, const QByteArray& value,
                const QList<QByteArray>& children) {
  QByteArray out;
  putWord(out, 0);
  putWord(out, valueLength);
  putWord(out, type);
  putText(out, key);
  pad(out);
  out += value;
  for (const QByteArray& child : children) {
    pad(out);
    out += child;
  }
  out[0] = char(out.size() & 0xFF);
  out[1] = char(out.size() >> 8);
  return out;
}

}  // namespace

QByteArray block(quint16 a, quint16 b, quint16 c, quint16 d,
                 const QList<std::pair<QString, QString>>& strings) {
  QByteArray fixed;
  const quint32 ms = quint32(a) << 16 | b;
  const quint32 ls = quint32(c) << 16 | d;
  for (quint32 v : {0xFEEF04BDu, 0x10000u, ms, ls, ms, ls, 0x3Fu, 0u, 0x40004u, 1u, 0u, 0u, 0u})
    putDword(fixed, v);
  QList<QByteArray> entries;
  for (const auto& [key, text] : strings) {
    QByteArray value;
    putText(value, text);
    entries.append(node(key, quint16(text.size() + 1), 1, value, {}));
  }
  QByteArray translation;
  putDword(translation, 0x04B00409);
  const QByteArray stringFileInfo = node("StringFileInfo", 0, 1, {}, {node("040904B0", 0, 1, {}, entries)});
  const QByteArray varFileInfo = node("VarFileInfo", 0, 1, {}, {node("Translation", 4, 0, translation, {})});
  return node("VS_VERSION_INFO", 52, 0, fixed, {stringFileInfo, varFileInfo});
}

QByteArray inFile(const QByteArray& block) {
  return QByteArray(
             "\x7F"
             "ELF program bytes ") +
         QByteArray(14, '\x90') + block + QByteArray("trailing data");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace VersionBlockWriter
