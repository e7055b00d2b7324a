#include "PayloadBuilder.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QThread>
#include <algorithm>
#include <climits>
#include <memory>
#include <utility>

#include "Ansi.h"
#include "ContainedPath.h"
#include "FileWrite.h"
#include "PayloadFormat.h"
#include "ReplaceFile.h"
#include "VerifyFileMd5.h"

using namespace PayloadFormat;

namespace {

constexpr size_t kCopyBuffer = 1 << 20;
// The setup names the block's folder with "/" at its end, as it hands it to the
// decompressor: below "/", no more than MemberPath::kMaxPathLength bytes.
constexpr qsizetype kLongestBlockFolder = MemberPath::kMaxPathLength - 2;

bool writeBytes(int fd, const QByteArray& bytes) { return writeAll(fd, bytes.constData(), bytes.size()); }

// Appends the file at `source` to `fd`, or hands each piece to `sink`.
template <typename Sink>
bool copyFile(const QString& source, qint64& size, Sink sink) {
  const UniqueFd in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) return false;
  std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  size = 0;
  while (true) {
    const ssize_t got = ::read(in.get(), buffer.get(), kCopyBuffer);
    if (got < 0) return false;
    if (got == 0) return true;
    if (!sink(buffer.get(), got)) return false;
    size += got;
  }
}

la_ssize_t writeToFd(archive*, void* data, const void* bytes, size_t length) {
  return writeAll(*static_cast<int*>(data), static_cast<const char*>(bytes), qint64(length))
             ? la_ssize_t(length)
             : -1;
}

// A member path or link target as a message shows it: a byte that is not UTF-8 as "\xNN".
QString shown(const QByteArray& bytes) {
  const QByteArrayView all(bytes);
  if (all.isValidUtf8()) return QString::fromUtf8(bytes);
  QString text;
  for (qsizetype at = 0; at < all.size();) {
    qsizetype length = 1;
    while (length <= 4 && !(at + length <= all.size() && all.sliced(at, length).isValidUtf8())) ++length;
    if (length > 4) {
      text += "\\x" + QString::number(uchar(all[at]), 16).toUpper().rightJustified(2, '0');
      ++at;
    } else {
      text += QString::fromUtf8(all.sliced(at, length));
      at += length;
    }
  }
  return text;
}

// Refuses a name with a character that Windows-1252 cannot hold: it would be stored as a stand-in.
QString checkAnsi(const QString& name) {
  if (fromAnsi(toAnsi(name)) == name) return {};
  for (const char32_t c : name.toUcs4()) {
    const QString one = QString::fromUcs4(&c, 1);
    if (fromAnsi(toAnsi(one)) != one)
      return QString("the name \"%1\" holds \"%2\" (U+%3), which Windows-1252 cannot hold")
          .arg(name, one, QString::number(c, 16).toUpper().rightJustified(4, '0'));
  }
  return {};
}

// A part longer than a file name may be cannot be extracted; `what` names the
// path, whose parts `native` holds as they are written, where a Windows-1252
// character may take two bytes.
QString checkPartLengths(const QString& what, const QByteArray& native) {
  for (const QByteArray& part : native.split('/'))
    if (part.size() > NAME_MAX)
      return QString("%1 holds a part of %2 bytes, more than the %3 bytes of a file name")
          .arg(what, QString::number(part.size()), QString::number(NAME_MAX));
  return {};
}

// What ContainedPath::nameFault finds, as the builder's errors tell it.
QString faultText(ContainedPath::NameFault fault) {
  using ContainedPath::NameFault;
  switch (fault) {
    case NameFault::Empty:
      return QStringLiteral("is empty");
    case NameFault::Nul:
      return QStringLiteral("holds a NUL");
    case NameFault::Absolute:
      return QStringLiteral("is absolute");
    case NameFault::DriveLetter:
      return QStringLiteral("starts with a drive letter");
    case NameFault::DotPart:
      return QStringLiteral("holds a \".\" part");
    case NameFault::DotDotPart:
      return QStringLiteral("holds a \"..\" part");
    case NameFault::EmptyPart:
      return QStringLiteral("holds an empty part");
    case NameFault::Outside:
      return QStringLiteral("leaves the block's folder");
    case NameFault::None:
      break;
  }
  return {};
}

// `what` and its fault, which the setup refuses.
QString refused(const QString& what, ContainedPath::NameFault fault) {
  return QString("%1 %2, which the setup refuses").arg(what, faultText(fault));
}

// The target of the member link `link`, which `what` names, read from the
// link's folder and then through the block's `links` as the file system reads
// it once they are made; a link holds at most MemberPath::kMaxPathLength bytes.
QString checkLinkTarget(const QString& what, const QByteArray& link, const QByteArray& target,
                        const MemberPath::Links& links) {
  const QString linksTo = QString("%1 links to \"%2\", a target that ").arg(what, shown(target));
  const auto fault = ContainedPath::linkFault(QFile::decodeName(link), QFile::decodeName(target));
  if (fault != ContainedPath::NameFault::None)
    return linksTo + faultText(fault) + ", which the setup refuses";
  if (target.size() > qsizetype(MemberPath::kMaxPathLength))
    return QString("%1 links to a target of %2 bytes, more than the %3 bytes that a link holds")
        .arg(what, QString::number(target.size()), QString::number(MemberPath::kMaxPathLength));
  std::string through;
  switch (links.reach(link.toStdString(), &through)) {
    case MemberPath::Reach::Outside:
      return linksTo + QString("leaves the block's folder through the link \"%1\", which the setup refuses")
                           .arg(shown(QByteArray::fromStdString(through)));
    case MemberPath::Reach::TooManyLinks:
      return linksTo + QString("follows more than %1 links, which the setup refuses")
                           .arg(MemberPath::kMaxLinksFollowed);
    case MemberPath::Reach::Inside:
      break;
  }
  return {};
}

// The folder, relative to the extraction folder in native bytes, that the setup
// unpacks the block `blockName` into.
QByteArray blockFolder(const QString& blockName) {
  return QFile::encodeName(ContainedPath::folderPart(ContainedPath::relativeName(blockName)));
}

// Where the decompressor writes `member` below `folder`, in native bytes.
QByteArray unpackedPath(const QByteArray& folder, const QByteArray& member) {
  const QByteArray normal = QByteArray::fromStdString(MemberPath::normalized(member.toStdString()));
  return normal.isEmpty() ? folder : folder + '/' + normal;
}

// The system opens no path longer than MemberPath::kMaxPathLength by name, and
// whoever opens what the setup unpacks does so by name; the shortest such path
// lies below "/".
QString checkUnpackedPath(const QString& what, const QByteArray& folder, const QByteArray& member) {
  const qsizetype length = 1 + unpackedPath(folder, member).size();
  if (length <= qsizetype(MemberPath::kMaxPathLength)) return {};
  return QString(
             "%1 unpacks at a path that, even below \"/\", has %2 bytes, more than the %3 bytes that the system "
             "opens by name")
      .arg(what, QString::number(length), QString::number(MemberPath::kMaxPathLength));
}

}  // namespace

void PayloadBuilder::addFile(quint32 group, quint32 type, const QString& name, const QString& source) {
  m_files.push_back({group, type, name, source});
}

void PayloadBuilder::addBlock(quint32 group, const QString& name) {
  m_lastBlock = int(m_files.size());
  m_files.push_back({group, Type::CompressedBlock, name, {}});
}

void PayloadBuilder::addMember(const QByteArray& stored, const QString& source) {
  m_members.push_back({stored, source, {}, m_lastBlock});
}

void PayloadBuilder::addMemberLink(const QByteArray& stored, const QByteArray& target) {
  m_members.push_back({stored, {}, target, m_lastBlock});
}

void PayloadBuilder::addSideFile(quint32 type, const QString& name) { m_sideFiles.push_back({type, name}); }

// The members of the block at `block` in m_files as an xz-compressed tar archive appended to `fd`.
QString PayloadBuilder::writeBlock(int fd, int block, qint64& size) const {
  const off_t start = ::lseek(fd, 0, SEEK_CUR);
  std::unique_ptr<archive, decltype(&archive_write_free)> tar(archive_write_new(), &archive_write_free);
  // Every core compresses blocks of the xz stream of its own; any xz reader reads them in turn.
  const QByteArray threads = QByteArray::number(QThread::idealThreadCount());
  if (archive_write_add_filter_xz(tar.get()) != ARCHIVE_OK ||
      archive_write_set_filter_option(tar.get(), "xz", "threads", threads.constData()) != ARCHIVE_OK ||
      archive_write_set_format_pax_restricted(tar.get()) != ARCHIVE_OK ||
      // Paths and targets as the bytes given, which the reader takes as they are in any locale.
      archive_write_set_format_option(tar.get(), "pax", "hdrcharset", "BINARY") != ARCHIVE_OK ||
      archive_write_set_bytes_in_last_block(tar.get(), 1) != ARCHIVE_OK ||
      archive_write_open(tar.get(), &fd, nullptr, writeToFd, nullptr) != ARCHIVE_OK)
    return QStringLiteral("cannot start the compressed block");
  for (const Member& member : m_members) {
    if (member.block != block) continue;
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                        &archive_entry_free);
    archive_entry_set_pathname(entry.get(), member.stored.constData());
    if (member.source.isEmpty()) {
      archive_entry_set_filetype(entry.get(), AE_IFLNK);
      archive_entry_set_perm(entry.get(), 0777);
      archive_entry_set_symlink(entry.get(), member.linkTarget.constData());
      if (archive_write_header(tar.get(), entry.get()) != ARCHIVE_OK)
        return QStringLiteral("cannot add a link");
      continue;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(member.source).constData(), &st) != 0) return "cannot read " + member.source;
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), st.st_size);
    if (archive_write_header(tar.get(), entry.get()) != ARCHIVE_OK) return "cannot add " + member.source;
    qint64 copied = 0;
    const bool ok = copyFile(member.source, copied, [&](const char* bytes, qint64 length) {
      return archive_write_data(tar.get(), bytes, size_t(length)) == length;
    });
    if (!ok || copied != st.st_size) return "cannot read " + member.source;
  }
  if (archive_write_close(tar.get()) != ARCHIVE_OK)
    return QStringLiteral("cannot finish the compressed block");
  size = ::lseek(fd, 0, SEEK_CUR) - start;
  return {};
}

QString PayloadBuilder::write(const QString& path) const {
  if (const QString error = checkEntries(); !error.isEmpty()) return error;
  if (const QString error = checkMemberBlocks(); !error.isEmpty()) return error;
  if (const QString error = checkNames(); !error.isEmpty()) return error;
  if (const QString error = checkDecompressor(); !error.isEmpty()) return error;
  if (const QString error = checkOutputIsNoInput(path); !error.isEmpty()) return error;
  // A failed build leaves the old output, or none.
  FileReplacement out(path, 0777);
  if (!out.open()) return "cannot write " + path;
  if (const QString error = writePayload(out, path); !error.isEmpty()) return error;
  return out.commit() ? QString() : "cannot write " + path;
}

// From an empty table a setup has nothing to launch, and the configuration flag
// without a configuration entry would be ignored. Side files lie beside the setup,
// so their table may be empty.
QString PayloadBuilder::checkEntries() const {
  if (m_flags & Flag::SideFiles) return {};
  if (m_files.empty())
    return QStringLiteral("the payload has no entry; a setup needs at least one --file or --block");
  if ((m_flags & Flag::Configuration) && firstOfType(Type::Configuration) < 0)
    return QStringLiteral(
        "--configuration needs a type 3 entry, the configuration file (--file 0:3:NAME=SOURCE)");
  return {};
}

MemberPath::Links PayloadBuilder::memberLinks() const {
  MemberPath::Links links;
  for (const Member& member : m_members)
    if (member.source.isEmpty()) links.add(member.stored.toStdString(), member.linkTarget.toStdString());
  return links;
}

// A member goes into the block added before it, and the setup unpacks only the
// first block: a member of none or of a later one would be lost.
QString PayloadBuilder::checkMemberBlocks() const {
  const int unpacked = firstOfType(Type::CompressedBlock);
  for (const Member& member : m_members) {
    const QString what = QString("the member \"%1\"").arg(shown(member.stored));
    if (member.block < 0)
      return what + " comes before any --block; a member goes into the block given before it";
    if (member.block != unpacked)
      return QString(
                 "%1 goes into the block \"%2\", which the setup never unpacks: it unpacks only the first, "
                 "\"%3\"")
          .arg(what, m_files[size_t(member.block)].name, m_files[size_t(unpacked)].name);
  }
  return {};
}

// The setup unpacks the first compressed block with the first decompressor
// library, which must be extracted by then: /extract: extracts in table order,
// and a compressed run extracts the launch group before it unpacks the block.
QString PayloadBuilder::checkDecompressor() const {
  if (m_allowRefusedNames) return {};
  const int block = firstOfType(Type::CompressedBlock);
  if (block < 0)
    return (m_flags & Flag::Compressed)
               ? QStringLiteral("--compressed needs a compressed block (--block GROUP:NAME)")
               : QString();
  const QString& blockName = m_files[size_t(block)].name;
  const int library = firstOfType(Type::Decompressor);
  if (library < 0)
    return QString(
               "the compressed block \"%1\" needs the decompressor library before it, a type 7 entry "
               "(--file 2:7:KVTdecompress.so=SOURCE)")
        .arg(blockName);
  const File& decompressor = m_files[size_t(library)];
  if (library > block)
    return QString(
               "the decompressor library \"%1\" comes after the compressed block \"%2\"; the setup needs it "
               "before the block")
        .arg(decompressor.name, blockName);
  const bool extractedByRuns = !(m_flags & Flag::Compressed) || (m_flags & Flag::SideFiles) ||
                               decompressor.group == Group::CompressedLaunch;
  if (!extractedByRuns)
    return QString(
               "the decompressor library \"%1\" is in group %2; --compressed needs it in group 2, which a "
               "run extracts")
        .arg(decompressor.name, QString::number(decompressor.group));
  return {};
}

// Names the payload would lose, and names the setup refuses or could not extract.
QString PayloadBuilder::checkNames() const {
  for (const File& file : m_files) {
    if (const QString error = checkName(file.name); !error.isEmpty()) return error;
    if (const QString error = checkBlockName(file); !error.isEmpty()) return error;
  }
  for (const SideFile& side : m_sideFiles)
    if (const QString error = checkName(side.name); !error.isEmpty()) return error;
  if (!m_allowRefusedNames) {
    const MemberPath::Links links = memberLinks();
    for (const Member& member : m_members)
      if (const QString error = checkMember(member, links); !error.isEmpty()) return error;
  }
  return checkClashes();
}

// A name that Windows-1252 cannot hold would be lost; one that the setup's reader
// refuses, in the table or a side-file record, makes the whole payload a bad trailer.
QString PayloadBuilder::checkName(const QString& name) const {
  if (const QString error = checkAnsi(name); !error.isEmpty()) return error;
  if (m_allowRefusedNames) return {};
  if (const auto fault = ContainedPath::nameFault(name); fault != ContainedPath::NameFault::None)
    return refused(QString("the name \"%1\"").arg(name), fault);
  const qsizetype length = toAnsi(name).size();
  if (length > kMaxNameLength)
    return QString("the name \"%1\" is %2 bytes long, more than the %3 bytes that the setup reads")
        .arg(name, QString::number(length), QString::number(kMaxNameLength));
  return checkPartLengths(QString("the name \"%1\"").arg(name),
                          QFile::encodeName(QString(name).replace('\\', '/')));
}

// A member that the setup's decompressor refuses or cannot write fails the whole extraction.
// Its faults lie in the bytes that are ASCII, which decoding keeps.
QString PayloadBuilder::checkMember(const Member& member, const MemberPath::Links& links) const {
  const QString what = QString("the member \"%1\"").arg(shown(member.stored));
  if (const auto fault = ContainedPath::memberFault(QFile::decodeName(member.stored));
      fault != ContainedPath::NameFault::None)
    return refused(what, fault);
  if (const QString error = checkPartLengths(what, member.stored); !error.isEmpty()) return error;
  if (const QString error = checkUnpackedPath(what, unpackedFolder(), member.stored); !error.isEmpty())
    return error;
  if (member.source.isEmpty()) return checkLinkTarget(what, member.stored, member.linkTarget, links);
  // The decompressor reads a file whose path ends with "/" as a folder.
  if (member.stored.endsWith('/')) return what + " ends with \"/\", which the setup unpacks as a folder";
  return {};
}

// The setup unpacks the compressed block into the folder that its name holds,
// below the extraction folder.
QString PayloadBuilder::checkBlockName(const File& file) const {
  if (m_allowRefusedNames || file.type != Type::CompressedBlock) return {};
  const QByteArray folder = blockFolder(file.name);
  if (folder.isEmpty())
    return QString("the compressed block's name \"%1\" has no folder, which the setup refuses")
        .arg(file.name);
  if (folder.size() > kLongestBlockFolder)
    return QString(
               "the compressed block's name \"%1\" has a folder of %2 bytes, more than the %3 bytes that the "
               "setup can unpack into, even below \"/\"")
        .arg(file.name, QString::number(folder.size()), QString::number(kLongestBlockFolder));
  return {};
}

// Two entries or members that extraction would write to the same file, or one
// to a file where another needs a folder: a folder of its name, or the folder
// that the compressed block is unpacked into.
QString PayloadBuilder::checkClashes() const {
  ExtractedPaths paths;
  const QString error = checkEntryClashes(paths);
  return error.isEmpty() ? checkMemberClashes(paths) : error;
}

QString PayloadBuilder::checkEntryClashes(ExtractedPaths& paths) const {
  bool blockUnpacked = false;
  for (const File& file : m_files) {
    const QByteArray relative = QFile::encodeName(ContainedPath::relativeName(file.name));
    if (relative.isEmpty()) continue;
    const ExtractedPaths::Origin origin{QStringLiteral("name"), file.name};
    if (const QString error = paths.addEntry(relative, origin); !error.isEmpty()) return error;
    const bool block = file.type == Type::CompressedBlock;
    // The block is never written as a file, and the setup unpacks only the first one.
    if (block && std::exchange(blockUnpacked, true)) continue;
    if (const QString error = addExtracted(paths, relative, origin, !block); !error.isEmpty()) return error;
  }
  return {};
}

QString PayloadBuilder::checkMemberClashes(ExtractedPaths& paths) const {
  const QByteArray folder = unpackedFolder();
  if (folder.isEmpty()) return {};
  for (const Member& member : m_members) {
    if (ContainedPath::memberFault(QFile::decodeName(member.stored)) != ContainedPath::NameFault::None)
      continue;
    const ExtractedPaths::Origin origin{QStringLiteral("member"), shown(member.stored)};
    if (const QString error = addExtracted(paths, unpackedPath(folder, member.stored), origin, true);
        !error.isEmpty())
      return error;
  }
  return {};
}

// Names that would be lost are refused always; a file where a folder is needed only fails the
// setup's extraction, which tests of hostile payloads let through.
QString PayloadBuilder::addExtracted(ExtractedPaths& paths, const QByteArray& relative,
                                     const ExtractedPaths::Origin& origin, bool file) const {
  if (file)
    if (const QString error = paths.addFile(relative, origin); !error.isEmpty()) return error;
  return m_allowRefusedNames ? QString() : paths.addFolders(ExtractedPaths::folderOf(relative), origin);
}

int PayloadBuilder::firstOfType(quint32 type) const {
  const auto found =
      std::find_if(m_files.begin(), m_files.end(), [type](const File& file) { return file.type == type; });
  return found == m_files.end() ? -1 : int(found - m_files.begin());
}

// The folder that the setup unpacks the block's members into: the first
// block's; empty when it unpacks none.
QByteArray PayloadBuilder::unpackedFolder() const {
  const int block = firstOfType(Type::CompressedBlock);
  return block < 0 ? QByteArray() : blockFolder(m_files[size_t(block)].name);
}

// Writing over the stub or a source would destroy it before it is read.
QString PayloadBuilder::checkOutputIsNoInput(const QString& path) const {
  struct stat out {};
  if (::stat(QFile::encodeName(path).constData(), &out) != 0) return {};
  const auto isOut = [&](const QString& input) {
    struct stat in {};
    return ::stat(QFile::encodeName(input).constData(), &in) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
  };
  const QString same = QStringLiteral("the output %1 is the same file as the %2 %3");
  if (isOut(m_stub)) return same.arg(path, "stub", m_stub);
  for (const File& file : m_files)
    if (!file.source.isEmpty() && isOut(file.source)) return same.arg(path, "source", file.source);
  for (const Member& member : m_members)
    if (!member.source.isEmpty() && isOut(member.source)) return same.arg(path, "source", member.source);
  return {};
}

QString PayloadBuilder::checkEntryLimits(const QString& name, qint64 size, qint64 end) const {
  if (size > m_offsetLimit)
    return QString("the entry \"%1\" holds %2 bytes, more than the %3 bytes that an entry can hold")
        .arg(name, QString::number(size), QString::number(m_offsetLimit));
  return checkOffsetLimit("the entry \"" + name + "\"", end);
}

QString PayloadBuilder::checkOffsetLimit(const QString& what, qint64 end) const {
  if (end <= m_offsetLimit) return {};
  return QString("with %1 the file reaches %2 bytes, past the %3 bytes that the payload's offsets can reach")
      .arg(what)
      .arg(end)
      .arg(m_offsetLimit);
}

QString PayloadBuilder::writePayload(const FileReplacement& out, const QString& path) const {
  const auto toOut = [&](const char* bytes, qint64 length) { return writeAll(out.fd(), bytes, length); };
  const auto position = [&] { return qint64(::lseek(out.fd(), 0, SEEK_CUR)); };
  qint64 size = 0;
  if (!copyFile(m_stub, size, toOut)) return "cannot read " + m_stub;

  PayloadTrailer trailer;
  trailer.payloadOffset = quint32(position());
  QByteArray table;
  for (size_t index = 0; index < m_files.size(); ++index) {
    const File& file = m_files[index];
    const qint64 offset = position();
    if (file.source.isEmpty()) {
      if (const QString error = writeBlock(out.fd(), int(index), size); !error.isEmpty()) return error;
    } else if (!copyFile(file.source, size, toOut)) {
      return "cannot read " + file.source;
    }
    if (const QString error = checkEntryLimits(file.name, size, offset + size); !error.isEmpty())
      return error;
    table += PayloadEntry{file.group, file.type, quint32(size), quint32(offset)}.toBytes(toAnsi(file.name));
  }
  QByteArray sideFiles;
  for (const SideFile& side : m_sideFiles) {
    appendU32(sideFiles, side.type);
    appendU32(sideFiles, quint32(toAnsi(side.name).size()));
    sideFiles += toAnsi(side.name);
  }
  const qint64 trailerAt = position() + table.size() + sideFiles.size();
  if (const QString error = checkOffsetLimit("the file table and side-file records", trailerAt);
      !error.isEmpty())
    return error;
  trailer.tableOffset = quint32(position());
  trailer.entryCount = quint32(m_files.size());
  trailer.sideFileOffset = quint32(position() + table.size());
  trailer.sideFileCount = quint32(m_sideFiles.size());
  trailer.trailerOffset = quint32(trailerAt);
  trailer.flags = m_flags;
  if (!writeBytes(out.fd(), table + sideFiles)) return "cannot write " + path;
  if (trailer.has(Flag::VerifyMd5)) trailer.md5 = FileMd5Hex(out.temporaryPath(), 0);
  if (!writeBytes(out.fd(), trailer.toBytes() + QByteArray(m_tail, '\0'))) return "cannot write " + path;
  return {};
}
