// Setup payload: any bytes appended to the setup program are read without
// harm, and whatever the file table names is extracted inside the extraction
// folder (beside the program for side-file payloads) and nowhere else.
#include <QDir>

#include "CPayloadArchive.h"
#include "FuzzSupport.h"

namespace {

QStringList entriesOf(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                QDir::Name);
}

QString payloadFolder() { return FuzzSupport::scratch() + QStringLiteral("/payload"); }

// What the scratch folder holds around the payload folder; no run may add to it.
QStringList& scratchEntries() {
  static QStringList entries;
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  QDir().mkpath(payloadFolder());
  scratchEntries() = entriesOf(FuzzSupport::scratch());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString root = payloadFolder();
  QDir(root).removeRecursively();
  QDir().mkpath(root + QStringLiteral("/out"));
  const QString image = root + QStringLiteral("/setup.bin");
  FuzzSupport::writeScratch(QStringLiteral("payload/setup.bin"), FuzzSupport::bytesOf(data, size));
  bool sideFiles = false;
  {
    CPayloadArchive archive;
    archive.SetArchivePath(image);
    archive.SetExtractionFolder(root + QStringLiteral("/out/"));
    if (archive.OpenArchive() == PayloadError::Ok && archive.ReadFileTable() == PayloadError::Ok) {
      // The compressed block would load a library the payload carries: not here.
      for (size_t i = 0; i < archive.entries().size(); ++i)
        if (archive.entries()[i].type != PayloadFormat::Type::CompressedBlock)
          archive.ExtractEntry(int(i), archive.extractionFolder());
    }
    // Side-file payloads extract beside the program by design.
    sideFiles = archive.has(PayloadFormat::Flag::SideFiles);
    archive.setKeepState(KeepState::Nothing);
    archive.CleanupArchive();
  }
  if (!sideFiles)
    FUZZ_CHECK(entriesOf(root) == (QStringList{QStringLiteral("out"), QStringLiteral("setup.bin")}));
  FUZZ_CHECK(entriesOf(FuzzSupport::scratch()) == scratchEntries());
  return 0;
}
