#include "PayloadFormat.h"

using namespace PayloadFormat;

PayloadTrailer PayloadTrailer::fromBytes(const char* bytes) {
  PayloadTrailer t;
  t.sideFileCount = readU32(bytes);
  t.sideFileOffset = readU32(bytes + 4);
  t.entryCount = readU32(bytes + 8);
  t.formatCheck = readU32(bytes + 12);
  t.trailerOffset = readU32(bytes + 16);
  t.tableOffset = readU32(bytes + 20);
  t.payloadOffset = readU32(bytes + 24);
  t.md5 = QByteArray(bytes + kMd5Offset, kMd5Length);
  t.flags = readU32(bytes + 60);
  return t;
}

QByteArray PayloadTrailer::toBytes() const {
  QByteArray bytes;
  for (quint32 v :
       {sideFileCount, sideFileOffset, entryCount, formatCheck, trailerOffset, tableOffset, payloadOffset})
    appendU32(bytes, v);
  bytes += md5.leftJustified(kMd5Length, '!', true);
  appendU32(bytes, flags);
  bytes += QByteArray(kMagic, kMagicLength);
  bytes += QByteArray(2, '\0');
  return bytes;
}

PayloadEntry PayloadEntry::fromBytes(const char* bytes, quint32& nameLength) {
  PayloadEntry e;
  e.group = readU32(bytes);
  e.type = readU32(bytes + 4);
  e.size = readU32(bytes + 8);
  e.offset = readU32(bytes + 12);
  nameLength = readU32(bytes + 16);
  return e;
}

QByteArray PayloadEntry::toBytes(const QByteArray& name) const {
  QByteArray bytes;
  for (quint32 v : {group, type, size, offset, quint32(name.size())}) appendU32(bytes, v);
  return bytes + name;
}
