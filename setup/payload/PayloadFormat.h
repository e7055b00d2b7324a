#pragma once

#include <QByteArray>
#include <QtEndian>

// The layout of the payload appended to the setup program: the data of its
// files, the file table, the side-file records and a 76-byte trailer. Every
// number is a 32-bit unsigned little-endian value.
namespace PayloadFormat {

constexpr int kTrailerSize = 76;
constexpr int kEntryHeaderSize = 20;
constexpr int kSideRecordHeaderSize = 8;
constexpr quint32 kFormatCheck = 100;
constexpr int kMd5Offset = 28;
constexpr int kMd5Length = 32;
constexpr int kMagicOffset = 64;
constexpr int kMagicLength = 10;
constexpr char kMagic[] = "OSTREVASFX";
constexpr qint64 kMaxNameLength = 4096;

namespace Flag {
constexpr quint32 SideFiles = 1;
constexpr quint32 Configuration = 2;
constexpr quint32 VerifyMd5 = 4;
constexpr quint32 Compressed = 8;
}  // namespace Flag

namespace Type {
constexpr quint32 MainPackage = 0;
constexpr quint32 Configuration = 3;
constexpr quint32 CompressedBlock = 6;
constexpr quint32 Decompressor = 7;
}  // namespace Type

namespace Group {
constexpr quint32 Launch = 1;
constexpr quint32 CompressedLaunch = 2;
constexpr quint32 FirstPrerequisite = 100;
}  // namespace Group

inline quint32 readU32(const char* bytes) { return qFromLittleEndian<quint32>(bytes); }
inline void appendU32(QByteArray& bytes, quint32 value) {
  char le[4];
  qToLittleEndian(value, le);
  bytes.append(le, 4);
}

}  // namespace PayloadFormat

// The last structure of the payload.
struct PayloadTrailer {
  quint32 sideFileCount = 0;
  quint32 sideFileOffset = 0;
  quint32 entryCount = 0;
  quint32 formatCheck = PayloadFormat::kFormatCheck;
  quint32 trailerOffset = 0;
  quint32 tableOffset = 0;
  quint32 payloadOffset = 0;
  QByteArray md5 = QByteArray(PayloadFormat::kMd5Length, '!');
  quint32 flags = 0;

  static PayloadTrailer fromBytes(const char* bytes);
  QByteArray toBytes() const;
  bool has(quint32 flag) const { return (flags & flag) != 0; }
};

// One file table header; the name follows it in the file.
struct PayloadEntry {
  quint32 group = 0;
  quint32 type = 0;
  quint32 size = 0;
  quint32 offset = 0;

  static PayloadEntry fromBytes(const char* bytes, quint32& nameLength);
  QByteArray toBytes(const QByteArray& name) const;
};
