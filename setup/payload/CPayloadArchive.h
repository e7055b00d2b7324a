#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "ContainedPath.h"
#include "ExtractFilesArgs.h"
#include "PayloadFormat.h"
#include "ReadAhead.h"

// The archive's results.
namespace PayloadError {
constexpr int Ok = 0;
constexpr int FileError = 2;
constexpr int OutOfMemory = 3;
constexpr int NoPath = 4;
constexpr int BadTrailer = 5;
constexpr int DecompressorMissing = 11;
constexpr int NoCompressedBlock = 12;
constexpr int DecompressorFailed = 13;
constexpr int DecompressorCancelled = 14;
}  // namespace PayloadError

// How much of the extracted payload survives the run.
namespace KeepState {
constexpr int Nothing = 0;
constexpr int LaunchGroup = 1;
constexpr int LaunchAndPrerequisites = 2;
constexpr int Everything = 3;
}  // namespace KeepState

// The payload appended to the setup program: finds its trailer, reads its
// file table, extracts its files by group (also through the carried
// decompressor), opens the main package and deletes what it extracted.
class CPayloadArchive {
 public:
  struct SideFile {
    quint32 type = 0;
    QString name;
  };

  CPayloadArchive() = default;
  CPayloadArchive(const CPayloadArchive&) = delete;
  CPayloadArchive& operator=(const CPayloadArchive&) = delete;

  int SetArchivePath(const QString& path);
  // The program's own image, extracting into the user's private temporary folder.
  int UseTempFolder();
  // Queues what was extracted under the old folder for deletion.
  void SetExtractionFolder(const QString& folder);
  // The configuration's extraction folder; a folder in the temporary folder
  // becomes the same folder inside the user's private one.
  int UseConfiguredExtractionFolder(const QString& folder);

  int OpenArchive();
  int LocateTrailer();
  // Reads the table and extracts the configuration file: ReadTableOnly, then ExtractConfiguration.
  int ReadFileTable();
  int ReadTableOnly();
  int ExtractConfiguration();
  // The table index of the configuration file that is extracted with the table; -1 when none.
  int configurationIndex() const;
  // Copies the data of entry `index` into the open file `target`.
  int CopyEntryTo(int index, int target);

  int ExtractEntry(int index, const QString& folder);
  int ExtractGroup();
  int ExtractPrerequisiteGroup(const QString& setupFileName);
  int ExtractAll();

  int LaunchMainPackage(const QString& parameters, const QString& title, bool unattended);
  int ShellOpenAndWait(const QString& file, const QString& parameters);
  int RunExtractFilesDll(const QString& title, bool unattended);
  // "/extractlzma" and "/deletelzma"; `configuredFolder` is the configuration's
  // extraction folder, empty when there is none.
  int ExtractCompressedOnly(const QString& configuredFolder);
  int DeleteCompressedFolder(const QString& configuredFolder);

  void CleanupArchive();

  const PayloadTrailer& trailer() const { return m_trailer; }
  bool has(quint32 flag) const { return m_trailer.has(flag); }
  const QString& archivePath() const { return m_archivePath; }
  const QString& extractionFolder() const { return m_extractionFolder; }
  const QStringList& names() const { return m_names; }
  const std::vector<PayloadEntry>& entries() const { return m_entries; }
  const std::vector<SideFile>& sideFiles() const { return m_sideFiles; }
  bool isExtracted(int index) const { return m_extracted.at(size_t(index)); }
  const QString& configurationPath() const { return m_configurationPath; }
  const QString& packageBaseName() const { return m_packageBaseName; }
  qint64 displacement() const { return m_displacement; }
  int exitCode() const { return m_exitCode; }
  // The program the main package's launch could not start; empty when none failed so.
  const QString& unstartedProgram() const { return m_unstartedProgram; }
  int keepState() const { return m_keepState; }
  void setKeepState(int keepState) { m_keepState = keepState; }

 private:
  struct QueuedFile {
    QString folder;
    QString relative;
  };

  int readAt(qint64 position, qint64 length, QByteArray& bytes, qint64 limit);
  int viewAt(qint64 position, qint64 length, const char*& bytes, qint64 limit);
  int readEntries();
  int readSideFiles();
  void deriveNames();
  int extractEntry(int index, ContainedPath::FileCreator& files);
  int copyEntry(const PayloadEntry& entry, int target, QByteArray& firstBytes);
  bool keeps(size_t index) const;
  int firstOfType(quint32 type) const;
  QString blockFolder() const;
  QString compressedPackagePath() const;
  ExtractFilesFunction loadDecompressor(void*& library) const;
  int runDecompressor(ExtractFilesFunction extractFiles, const QString& title, bool unattended);
  void removeBlockFolder();
  void closeArchive();

  PayloadTrailer m_trailer;
  QString m_archivePath;
  QString m_extractionFolder;
  QStringList m_names;
  QStringList m_relativeNames;
  std::vector<PayloadEntry> m_entries;
  std::vector<bool> m_extracted;
  UniqueFd m_file;
  ReadAhead m_readAhead;
  qint64 m_fileSize = 0;
  qint64 m_trailerPosition = 0;
  QString m_configurationPath;
  QString m_configurationName;
  QString m_packageBaseName;
  int m_exitCode = 0;
  QString m_unstartedProgram;
  int m_keepState = KeepState::Nothing;
  qint64 m_displacement = 0;
  std::vector<SideFile> m_sideFiles;
  std::vector<QueuedFile> m_deletionQueue;
};
