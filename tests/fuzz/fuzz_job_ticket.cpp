// Job ticket reader: a ticket that loads saves and reloads to the same documents.
#include "FuzzSupport.h"
#include "clsJob.h"
#include "modPJLOpts.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  modPJLOpts::setSupportFolder(FuzzSupport::supportFolder());
  modPJLOpts::Initialise(true);
  return 0;
}

namespace {
QStringList documentNames(const clsJob& job) {
  QStringList names;
  for (const auto& entry : job.docs()) names.append(entry.second->fileName);
  return names;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  clsJob job;
  job.kvtFile = FuzzSupport::writeScratch(QStringLiteral("in.kvt"), FuzzSupport::bytesOf(data, size));
  if (!job.loadFromKVT()) return 0;
  job.kvtFile = FuzzSupport::scratch() + QStringLiteral("/out.kvt");
  FUZZ_CHECK(job.saveToKVT());
  clsJob again;
  again.kvtFile = job.kvtFile;
  FUZZ_CHECK(again.loadFromKVT());
  FUZZ_CHECK(documentNames(again) == documentNames(job));
  return 0;
}
