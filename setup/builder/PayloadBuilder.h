#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "ExtractedPaths.h"

class FileReplacement;

// Writes a copy of the setup program with a payload appended: the data of its
// files (one of them may be an xz-compressed tar block made here), the file
// table, the side-file records and the trailer. A payload that cannot make a
// working setup is refused: a table without entries, the configuration flag
// without a configuration entry, and every name, block member or link that the
// setup refuses or could not extract beside the others (see checkNames). Tests
// of hostile payloads may let the setup's refusals through, but never a name
// that would be lost: one that Windows-1252 cannot hold, or two extracted as
// the same file.
// The result replaces the output only once it is complete, and never when the
// output is the stub or one of the sources.
class PayloadBuilder {
 public:
  void setStub(const QString& path) { m_stub = path; }
  void addFile(quint32 group, quint32 type, const QString& name, const QString& source);
  // A compressed block entry; the members added after it go into its tar archive.
  void addBlock(quint32 group, const QString& name);
  void addMember(const QByteArray& stored, const QString& source);
  void addMemberLink(const QByteArray& stored, const QByteArray& target);
  void addSideFile(quint32 type, const QString& name);
  void setFlags(quint32 flags) { m_flags = flags; }
  // Bytes after the trailer, as a signature block would add.
  void setTail(qint64 bytes) { m_tail = bytes; }
  // The largest size or offset that the format's 32-bit fields hold; tests lower it.
  void setOffsetLimit(qint64 limit) { m_offsetLimit = limit; }
  // Writes names that the setup refuses or could not extract, for tests of hostile payloads.
  void allowRefusedNames() { m_allowRefusedNames = true; }

  // Writes the result to `path`; the error text, empty on success.
  QString write(const QString& path) const;

 private:
  struct Member {
    QByteArray stored;
    QString source;
    QByteArray linkTarget;
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
  QString checkNames() const;
  QString checkName(const QString& name) const;
  QString checkMember(const Member& member) const;
  QString checkBlockName(const File& file) const;
  QString checkClashes() const;
  QString checkEntryClashes(ExtractedPaths& paths) const;
  QString checkMemberClashes(ExtractedPaths& paths) const;
  // Records what extracting `relative` makes: the file unless `file` is false, and its folders.
  QString addExtracted(ExtractedPaths& paths, const QString& relative, const ExtractedPaths::Origin& origin,
                       bool file) const;
  QString unpackedFolder() const;
  QString checkOutputIsNoInput(const QString& path) const;
  QString checkEntryLimits(const QString& name, qint64 size, qint64 end) const;
  // `end` is where the next offset would point.
  QString checkOffsetLimit(const QString& what, qint64 end) const;
  QString writePayload(const FileReplacement& out, const QString& path) const;
  QString writeBlock(int fd, qint64& size) const;

  QString m_stub;
  std::vector<File> m_files;
  std::vector<Member> m_members;
  std::vector<SideFile> m_sideFiles;
  quint32 m_flags = 0;
  qint64 m_tail = 0;
  qint64 m_offsetLimit = UINT32_MAX;
  bool m_allowRefusedNames = false;
};
