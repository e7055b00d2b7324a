#include "CPayloadArchive.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "Ansi.h"
#include "CExtractProgressDlg.h"
#include "FileWrite.h"
#include "PrivateFolderLock.h"
#include "SetupPaths.h"
#include "SetupStrings.h"
#include "ShellOpen.h"
#include "WindowsInstaller.h"

using namespace PayloadFormat;

namespace {

constexpr qint64 kScanWindow = 65536;
// Larger writes are no faster, and the bytes read ahead hold one.
constexpr qint64 kCopyChunk = 256 * 1024;
// Smaller entries cost fewer calls written from the bytes read ahead than copied by the kernel.
constexpr qint64 kSmallEntry = 65536;
constexpr int kTextSetup = 128;

QString withSlash(QString folder) {
  if (!folder.isEmpty() && !folder.endsWith('/')) folder += '/';
  return folder;
}

// Everything but the last four characters ("app" of "app.msi").
QString withoutExtension(const QString& name) { return name.left(std::max<qsizetype>(0, name.size() - 4)); }

bool isKernelCopyUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

}  // namespace

int CPayloadArchive::SetArchivePath(const QString& path) {
  m_archivePath = path.isEmpty() ? SetupPaths::modulePath() : path;
  return m_archivePath.isEmpty() ? PayloadError::NoPath : PayloadError::Ok;
}

int CPayloadArchive::UseTempFolder() {
  if (SetArchivePath({}) != PayloadError::Ok) return PayloadError::NoPath;
  const QString folder = SetupPaths::privateTempFolder();
  if (folder.isEmpty()) return PayloadError::NoPath;
  SetExtractionFolder(folder);
  return PayloadError::Ok;
}

void CPayloadArchive::SetExtractionFolder(const QString& folder) {
  if (folder == m_extractionFolder) return;
  for (size_t i = 0; i < m_extracted.size(); ++i) {
    if (!m_extracted[i]) continue;
    m_deletionQueue.push_back({m_extractionFolder, m_relativeNames[qsizetype(i)]});
    m_extracted[i] = false;
  }
  m_extractionFolder = folder;
}

int CPayloadArchive::UseConfiguredExtractionFolder(const QString& folder) {
  const QString target = SetupPaths::privateWhenTemporary(folder);
  if (target.isEmpty()) return PayloadError::NoPath;
  SetExtractionFolder(target);
  return PayloadError::Ok;
}

int CPayloadArchive::OpenArchive() {
  m_extractionFolder = withSlash(m_extractionFolder);
  m_file = UniqueFd(::open(QFile::encodeName(m_archivePath).constData(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!m_file.valid() || ::fstat(m_file.get(), &st) != 0) {
    closeArchive();
    return PayloadError::FileError;
  }
  m_fileSize = st.st_size;
  m_readAhead.setFile(m_file.get());
  const int result = LocateTrailer();
  if (result != PayloadError::Ok) closeArchive();
  return result;
}

// Scans from the end backwards, the last magic first, with windows that
// overlap by one magic less a byte, so that no position is missed.
int CPayloadArchive::LocateTrailer() {
  std::vector<char> window;
  try {
    window.resize(size_t(kScanWindow));
  } catch (const std::bad_alloc&) {
    return PayloadError::OutOfMemory;
  }
  qint64 end = m_fileSize;
  while (end >= kMagicLength) {
    const qint64 start = std::max<qint64>(0, end - kScanWindow);
    if (::pread(m_file.get(), window.data(), size_t(end - start), start) != end - start)
      return PayloadError::FileError;
    for (qint64 i = end - start - kMagicLength; i >= 0; --i) {
      if (std::memcmp(window.data() + i, kMagic, kMagicLength) != 0) continue;
      const qint64 trailerPosition = start + i - kMagicOffset;
      if (trailerPosition <= 0) continue;
      QByteArray bytes;
      if (const int result = readAt(trailerPosition, kTrailerSize, bytes, m_fileSize)) return result;
      m_trailer = PayloadTrailer::fromBytes(bytes.constData());
      if (m_trailer.formatCheck != kFormatCheck) return PayloadError::BadTrailer;
      m_trailerPosition = trailerPosition;
      m_displacement = trailerPosition - qint64(m_trailer.trailerOffset);
      return PayloadError::Ok;
    }
    if (start == 0) break;
    end = start + kMagicLength - 1;
  }
  return PayloadError::FileError;
}

// Reads `length` bytes at `position`; a stretch beyond `limit` is a bad trailer.
int CPayloadArchive::readAt(qint64 position, qint64 length, QByteArray& bytes, qint64 limit) {
  const char* view = nullptr;
  if (const int result = viewAt(position, length, view, limit)) return result;
  bytes = QByteArray(view, length);
  return PayloadError::Ok;
}

// The same bytes where they were read, valid until the next read.
int CPayloadArchive::viewAt(qint64 position, qint64 length, const char*& bytes, qint64 limit) {
  if (position < 0 || length < 0 || position > limit || length > limit - position)
    return PayloadError::BadTrailer;
  bytes = m_readAhead.read(position, length);
  return bytes ? PayloadError::Ok : PayloadError::FileError;
}

int CPayloadArchive::ReadFileTable() {
  const int result = ReadTableOnly();
  return result != PayloadError::Ok ? result : ExtractConfiguration();
}

int CPayloadArchive::ReadTableOnly() {
  if (!m_file.valid()) return PayloadError::FileError;
  const bool sideFiles = has(Flag::SideFiles);
  if (sideFiles) m_extractionFolder = m_archivePath.left(m_archivePath.lastIndexOf('/') + 1);
  int result = PayloadError::Ok;
  if (sideFiles && m_trailer.sideFileCount != 0) result = readSideFiles();
  if (result == PayloadError::Ok && m_trailer.entryCount != 0) result = readEntries();
  if (result != PayloadError::Ok) {
    closeArchive();
    return result;
  }
  deriveNames();
  return PayloadError::Ok;
}

int CPayloadArchive::ExtractConfiguration() {
  const int index = configurationIndex();
  return index < 0 ? PayloadError::Ok : ExtractEntry(index, m_extractionFolder);
}

int CPayloadArchive::configurationIndex() const {
  if (!has(Flag::Configuration) || has(Flag::SideFiles) || m_configurationName.isEmpty()) return -1;
  return int(m_names.indexOf(m_configurationName));
}

int CPayloadArchive::CopyEntryTo(int index, int target) {
  if (index < 0 || size_t(index) >= m_entries.size() || !m_file.valid()) return PayloadError::FileError;
  QByteArray firstBytes;
  return copyEntry(m_entries[size_t(index)], target, firstBytes);
}

// The whole table is read and checked before any of it is used.
int CPayloadArchive::readEntries() {
  qint64 position = qint64(m_trailer.tableOffset) + m_displacement;
  if (position < 0 || qint64(m_trailer.entryCount) * kEntryHeaderSize > m_trailerPosition - position)
    return PayloadError::BadTrailer;
  QStringList names, relativeNames;
  std::vector<PayloadEntry> entries;
  for (quint32 i = 0; i < m_trailer.entryCount; ++i) {
    QByteArray header, name;
    if (const int result = readAt(position, kEntryHeaderSize, header, m_trailerPosition)) return result;
    quint32 nameLength = 0;
    const PayloadEntry entry = PayloadEntry::fromBytes(header.constData(), nameLength);
    if (nameLength > kMaxNameLength) return PayloadError::BadTrailer;
    if (const int result = readAt(position + kEntryHeaderSize, nameLength, name, m_trailerPosition))
      return result;
    position += kEntryHeaderSize + nameLength;
    const qint64 data = qint64(entry.offset) + m_displacement;
    if (data < 0 || data > m_trailerPosition || entry.size > m_trailerPosition - data)
      return PayloadError::BadTrailer;
    const QString relative = ContainedPath::relativeName(fromAnsi(name));
    if (relative.isEmpty()) return PayloadError::BadTrailer;
    if (entry.type == Type::CompressedBlock && ContainedPath::folderPart(relative).isEmpty())
      return PayloadError::BadTrailer;
    names << fromAnsi(name);
    relativeNames << relative;
    entries.push_back(entry);
  }
  m_names = names;
  m_relativeNames = relativeNames;
  m_entries = entries;
  m_extracted.assign(m_entries.size(), false);
  return PayloadError::Ok;
}

int CPayloadArchive::readSideFiles() {
  qint64 position = qint64(m_trailer.sideFileOffset) + m_displacement;
  if (position < 0 || qint64(m_trailer.sideFileCount) * kSideRecordHeaderSize > m_trailerPosition - position)
    return PayloadError::BadTrailer;
  std::vector<SideFile> sideFiles;
  for (quint32 i = 0; i < m_trailer.sideFileCount; ++i) {
    QByteArray header, name;
    if (const int result = readAt(position, kSideRecordHeaderSize, header, m_trailerPosition)) return result;
    const quint32 nameLength = readU32(header.constData() + 4);
    if (nameLength > kMaxNameLength) return PayloadError::BadTrailer;
    if (const int result = readAt(position + kSideRecordHeaderSize, nameLength, name, m_trailerPosition))
      return result;
    position += kSideRecordHeaderSize + nameLength;
    const QString relative = ContainedPath::relativeName(fromAnsi(name));
    if (relative.isEmpty()) return PayloadError::BadTrailer;
    sideFiles.push_back({readU32(header.constData()), relative});
  }
  m_sideFiles = sideFiles;
  return PayloadError::Ok;
}

void CPayloadArchive::deriveNames() {
  m_configurationPath = m_extractionFolder;
  m_configurationName.clear();
  m_packageBaseName.clear();
  if (!has(Flag::SideFiles)) {
    for (size_t i = 0; i < m_entries.size(); ++i) {
      const QString& name = m_names[qsizetype(i)];
      if (m_entries[i].type == Type::MainPackage) m_packageBaseName = withoutExtension(name);
      if (m_entries[i].type != Type::Configuration) continue;
      m_configurationName = name;
      m_configurationPath += m_relativeNames[qsizetype(i)];
      m_packageBaseName = withoutExtension(name);
      return;
    }
  } else if (!m_sideFiles.empty()) {
    for (const SideFile& side : m_sideFiles) {
      if (side.type == Type::MainPackage) m_packageBaseName = withoutExtension(side.name);
      if (side.type == Type::Configuration && m_configurationName.isEmpty()) {
        m_configurationName = side.name;
        m_configurationPath += side.name;
      }
    }
  } else {
    // The program's own name with ".ini" in place of its extension, if it has one.
    QString stem = QFileInfo(m_archivePath).fileName();
    if (stem.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) stem.chop(4);
    m_configurationPath += stem + QStringLiteral(".ini");
    m_packageBaseName = stem;
  }
}

int CPayloadArchive::ExtractEntry(int index, const QString& folder) {
  ContainedPath::FileCreator files(folder);
  return extractEntry(index, files);
}

int CPayloadArchive::extractEntry(int index, ContainedPath::FileCreator& files) {
  if (index < 0 || size_t(index) >= m_entries.size() || !m_file.valid()) return PayloadError::FileError;
  if (m_extracted[size_t(index)]) return PayloadError::Ok;
  const QString& relative = m_relativeNames[index];
  UniqueFd target = files.create(relative);
  if (!target.valid()) return PayloadError::FileError;
  QByteArray firstBytes;
  if (copyEntry(m_entries[size_t(index)], target.get(), firstBytes) != PayloadError::Ok) {
    target.reset();
    files.remove(relative);
    return PayloadError::FileError;
  }
  // Programs and scripts the setup extracted may run, as any ".exe" does on Windows.
  struct stat st {};
  if (ShellOpen::isDirectlyRunnable(firstBytes) && ::fstat(target.get(), &st) == 0)
    ::fchmod(target.get(), (st.st_mode & 07777) | S_IXUSR);
  m_extracted[size_t(index)] = true;
  return PayloadError::Ok;
}

// Copies the entry's data into `target`; anything short of its size is a file error.
int CPayloadArchive::copyEntry(const PayloadEntry& entry, int target, QByteArray& firstBytes) {
  loff_t source = loff_t(entry.offset) + m_displacement;
  qint64 left = entry.size;
  if (readAt(source, std::min<qint64>(4, left), firstBytes, m_trailerPosition) != PayloadError::Ok)
    return PayloadError::FileError;
  // The kernel copies fast only where the data lie at the same place in their pages as in the
  // new file; small entries and the others are written from the bytes read ahead.
  bool kernelCopy = left > kSmallEntry && source % ::sysconf(_SC_PAGESIZE) == 0;
  while (left > 0) {
    qint64 copied = -1;
    if (kernelCopy) {
      copied = ::copy_file_range(m_file.get(), &source, target, nullptr, size_t(left), 0);
      if (copied < 0 && isKernelCopyUnsupported(errno)) {
        kernelCopy = false;
        continue;
      }
    } else {
      const qint64 length = std::min(kCopyChunk, left);
      const char* bytes = nullptr;
      if (viewAt(source, length, bytes, m_trailerPosition) == PayloadError::Ok &&
          writeAll(target, bytes, length))
        copied = length;
      source += length;
    }
    if (copied <= 0) return PayloadError::FileError;
    left -= copied;
  }
  return PayloadError::Ok;
}

int CPayloadArchive::ExtractGroup() {
  if (has(Flag::SideFiles)) return PayloadError::Ok;
  const quint32 launchGroup = has(Flag::Compressed) ? Group::CompressedLaunch : Group::Launch;
  ContainedPath::FileCreator files(m_extractionFolder);
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_entries[i].group != launchGroup || m_entries[i].type == Type::CompressedBlock) continue;
    if (const int result = extractEntry(int(i), files)) return result;
  }
  return PayloadError::Ok;
}

int CPayloadArchive::ExtractPrerequisiteGroup(const QString& setupFileName) {
  if (has(Flag::SideFiles)) return PayloadError::Ok;
  const qsizetype named = m_names.indexOf(setupFileName);
  if (named < 0) return PayloadError::FileError;
  const quint32 group = m_entries[size_t(named)].group;
  ContainedPath::FileCreator files(m_extractionFolder);
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_entries[i].group != group || m_entries[i].type == Type::CompressedBlock) continue;
    if (extractEntry(int(i), files) != PayloadError::Ok) {
      closeArchive();
      return PayloadError::FileError;
    }
  }
  return PayloadError::Ok;
}

int CPayloadArchive::ExtractAll() {
  ContainedPath::FileCreator files(m_extractionFolder);
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_extracted[i]) continue;
    int result = PayloadError::Ok;
    if (m_entries[i].type == Type::CompressedBlock) {
      result = RunExtractFilesDll(SetupStrings::text(kTextSetup), false);
    } else {
      result = extractEntry(int(i), files);
      if (result == PayloadError::Ok && m_entries[i].type == Type::Decompressor)
        m_deletionQueue.push_back({m_extractionFolder, m_relativeNames[qsizetype(i)]});
    }
    if (result != PayloadError::Ok) {
      closeArchive();
      // The decompressor's own result tells that the extraction, not the reading, failed.
      return result >= PayloadError::DecompressorMissing ? result : PayloadError::FileError;
    }
  }
  return PayloadError::Ok;
}

int CPayloadArchive::LaunchMainPackage(const QString& parameters, const QString& title, bool unattended) {
  if (has(Flag::Compressed)) {
    int result = RunExtractFilesDll(title, unattended);
    if (result == PayloadError::Ok) result = ShellOpenAndWait(compressedPackagePath(), parameters);
    DeleteCompressedFolder({});
    return result;
  }
  QString package;
  if (has(Flag::SideFiles)) {
    for (const SideFile& side : m_sideFiles)
      if (package.isEmpty() && side.type == Type::MainPackage) package = side.name;
  } else if (const int index = firstOfType(Type::MainPackage); index >= 0) {
    package = m_relativeNames[index];
  }
  if (package.isEmpty()) return PayloadError::FileError;
  return ShellOpenAndWait(m_extractionFolder + package, parameters);
}

int CPayloadArchive::ShellOpenAndWait(const QString& file, const QString& parameters) {
  int exitCode = 0;
  const ShellOpen::Opening opening = ShellOpen::openingOf(file, parameters, installerProgram());
  if (!ShellOpen::runAndWait(opening.program, opening.arguments, exitCode)) {
    m_unstartedProgram = opening.program;
    return PayloadError::FileError;
  }
  m_exitCode = exitCode;
  return PayloadError::Ok;
}

int CPayloadArchive::RunExtractFilesDll(const QString& title, bool unattended) {
  if (firstOfType(Type::CompressedBlock) < 0) return PayloadError::NoCompressedBlock;
  void* library = nullptr;
  const ExtractFilesFunction extractFiles = loadDecompressor(library);
  if (!extractFiles) return PayloadError::DecompressorMissing;
  const int result = runDecompressor(extractFiles, title, unattended);
  ::dlclose(library);
  return result;
}

// The block's folder goes to the decompressor as this process holds it open: a
// name that fits the record however long the folder's own path is, and that
// leads to the very folder made here, whatever is put on its path meanwhile.
int CPayloadArchive::runDecompressor(ExtractFilesFunction extractFiles, const QString& title,
                                     bool unattended) {
  const PayloadEntry& entry = m_entries[size_t(firstOfType(Type::CompressedBlock))];
  const qint64 offset = qint64(entry.offset) + m_displacement;
  if (offset > qint64(UINT32_MAX)) return PayloadError::DecompressorFailed;
  const UniqueFd folder = ContainedPath::openFolder(m_extractionFolder, blockFolder(), true);
  if (!folder.valid()) return PayloadError::DecompressorFailed;
  const UniqueFd archive(::open(QFile::encodeName(m_archivePath).constData(), O_RDONLY | O_CLOEXEC));
  if (!archive.valid()) return PayloadError::FileError;

  ExtractFilesArgs args{};
  args.fileDescriptor = archive.get();
  args.offset = quint32(offset);
  args.size = entry.size;
  const QByteArray destination = "/proc/self/fd/" + QByteArray::number(folder.get()) + '/';
  std::memcpy(args.destination, destination.constData(), size_t(destination.size()) + 1);
  const int result = unattended
                         ? extractFiles(&args)
                         : CExtractProgressDlg(extractFiles, args, title, QApplication::activeWindow()).run();
  if (result < 0) return PayloadError::DecompressorCancelled;
  return result > 0 ? PayloadError::DecompressorFailed : PayloadError::Ok;
}

ExtractFilesFunction CPayloadArchive::loadDecompressor(void*& library) const {
  const int index = firstOfType(Type::Decompressor);
  if (index < 0) return nullptr;
  const QString path = QFileInfo(m_extractionFolder + m_relativeNames[index]).absoluteFilePath();
  library = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  const auto extractFiles = reinterpret_cast<ExtractFilesFunction>(::dlsym(library, "ExtractFiles"));
  if (!extractFiles) ::dlclose(library);
  return extractFiles;
}

int CPayloadArchive::ExtractCompressedOnly(const QString& configuredFolder) {
  if (!configuredFolder.isEmpty())
    if (const int result = UseConfiguredExtractionFolder(configuredFolder)) return result;
  if (const int result = ExtractGroup()) return result;
  const int result = RunExtractFilesDll({}, true);
  // The package that asked finds nothing half unpacked, and the run leaves nothing behind.
  if (result != PayloadError::Ok) removeBlockFolder();
  return result;
}

int CPayloadArchive::DeleteCompressedFolder(const QString& configuredFolder) {
  if (!configuredFolder.isEmpty())
    if (const int result = UseConfiguredExtractionFolder(configuredFolder)) return result;
  removeBlockFolder();
  return PayloadError::Ok;
}

void CPayloadArchive::removeBlockFolder() {
  if (firstOfType(Type::CompressedBlock) >= 0) ContainedPath::removeTree(m_extractionFolder, blockFolder());
}

void CPayloadArchive::closeArchive() {
  m_readAhead.setFile(-1);
  m_file.reset();
}

void CPayloadArchive::CleanupArchive() {
  closeArchive();
  if (has(Flag::SideFiles)) return;
  if (m_keepState != KeepState::Everything)
    for (size_t i = 0; i < m_entries.size(); ++i)
      if (m_extracted[i] && !keeps(i))
        ContainedPath::removeFile(m_extractionFolder, m_relativeNames[qsizetype(i)]);
  for (const QueuedFile& queued : m_deletionQueue) ContainedPath::removeFile(queued.folder, queued.relative);
  m_deletionQueue.clear();
  PrivateFolderLock::removeIfEmpty();
}

bool CPayloadArchive::keeps(size_t index) const {
  const PayloadEntry& entry = m_entries[index];
  if (entry.type == Type::Decompressor) return false;
  const bool launch = entry.group == Group::Launch;
  if (m_keepState == KeepState::LaunchGroup) return launch;
  if (m_keepState == KeepState::LaunchAndPrerequisites)
    return launch || entry.group >= Group::FirstPrerequisite;
  return false;
}

int CPayloadArchive::firstOfType(quint32 type) const {
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (m_entries[i].type == type) return int(i);
  return -1;
}

QString CPayloadArchive::blockFolder() const {
  const int block = firstOfType(Type::CompressedBlock);
  return block < 0 ? QString() : ContainedPath::folderPart(m_relativeNames[block]);
}

// The block's stored name with ".msi" in place of everything from its last dot.
QString CPayloadArchive::compressedPackagePath() const {
  const QString& relative = m_relativeNames[firstOfType(Type::CompressedBlock)];
  const qsizetype dot = relative.lastIndexOf('.');
  const QString stem = dot > relative.lastIndexOf('/') ? relative.left(dot) : relative;
  return m_extractionFolder + stem + QStringLiteral(".msi");
}
