#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "ExtractedPaths.h"
#include "MemberPath.h"

class FileReplacement;

// Writes a copy of the setup program with a payload appended: the data of its
// files (one of them may be an xz-compressed tar block made here), the file
// table, the side-file records and the trailer. A payload that cannot make a
// working setup is refused: a table without entries, the configuration flag
// without a configuration entry, a compressed block that the setup could not
// unpack (see checkDecompressor), and every name, block member or link that the
// setup refuses or could not extract beside the others (see checkNames). Tests
// of hostile payloads may let the setup's refusals through, but never what
// would be lost: a name that Windows-1252 cannot hold, two extracted as the
// same file, or a member of no block that the setup unpacks.
// The result replaces the output only once it is complete, and never when the
// output is the stub or one of the sources.
class PayloadBuilder {
 public:
  void setStub(const QString& path) { m_stub = path; }
  void addFile(quint32 group, quint32 type, const QString& name, const QString& source);
  // A compressed block entry; the members added after it go into its tar archive.
  void addBlock(quint32 group, const QString& name);
  // Member paths and link targets are kept as the bytes given.
  void addMember(const QByteArray& stored, const QString& source);
  void addMemberLink(const QByteArray& stored, const QByteArray& target);
  void addSideFile(quint32 type, const QString& name);
  void setFlags(quint32 flags) { m_flags = flags; }
  // Bytes after the trailer, as a signature block would add.
  void setTail(qint64 bytes) { m_tail = bytes; }
  // The largest size or offset that the format's 32-bit fields hold; tests lower it.
  void setOffsetLimit(qint64 limit) { m_offsetLimit = limit; }
  // Writes names and blocks that the setup refuses or could not extract, for tests of hostile payloads.
  void allowRefusedNames() { m_allowRefusedNames = true; }

  // Writes the result to `path`; the error text, empty on success.
  QString write(const QString& path) const;

 private:
  struct Member {
    QByteArray stored;
    QString source;
    QByteArray linkTarget;
    int block;  // the index of its block in m_files, -1 before any
  };
  struct File {
    quint32 group = 0;
    quint32 type = 0;
    QString name;
    QString source;  // empty for the compressed block
  };
  struct SideFile {
    quint32 type = 0;
    QString name;
  };

  QString checkEntries() const;
  QString checkMemberBlocks() const;
  QString checkDecompressor() const;
  QString checkNames() const;
  QString checkName(const QString& name) const;
  // The block's links, by where the decompressor makes them.
  MemberPath::Links memberLinks() const;
  QString checkMember(const Member& member, const MemberPath::Links& links) const;
  QString checkBlockName(const File& file) const;
  QString checkClashes() const;
  QString checkEntryClashes(ExtractedPaths& paths) const;
  QString checkMemberClashes(ExtractedPaths& paths) const;
  // Records what extracting `relative` (native bytes) makes: the file unless `file` is false, and its
  // folders.
  QString addExtracted(ExtractedPaths& paths, const QByteArray& relative,
                       const ExtractedPaths::Origin& origin, bool file) const;
  // The index in m_files of the first entry of `type`, -1 when none.
  int firstOfType(quint32 type) const;
  QByteArray unpackedFolder() const;
  QString checkOutputIsNoInput(const QString& path) const;
  QString checkEntryLimits(const QString& name, qint64 size, qint64 end) const;
  // `end` is where the next offset would point.
  QString checkOffsetLimit(const QString& what, qint64 end) const;
  QString writePayload(const FileReplacement& out, const QString& path) const;
  QString writeBlock(int fd, int block, qint64& size) const;

  QString m_stub;
  std::vector<File> m_files;
  std::vector<Member> m_members;
  std::vector<SideFile> m_sideFiles;
  quint32 m_flags = 0;
  int m_lastBlock = -1;  // the index in m_files of the block that members go into
  qint64 m_tail = 0;
  qint64 m_offsetLimit = UINT32_MAX;
  bool m_allowRefusedNames = false;
};
