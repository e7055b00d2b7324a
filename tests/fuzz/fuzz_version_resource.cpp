// Version blocks: prerequisite searches read the version block of any file they
// find on disk, so any bytes are searched without reading outside them.
#include "FuzzSupport.h"
#include "VersionResource.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy: ASan sees any read past the end of the file's bytes.
  const QByteArray bytes = FuzzSupport::bytesOf(data, size);
  const std::optional<VersionInfo> info = VersionResource::find(bytes);
  if (!info) return 0;
  for (const auto& [name, text] : info->strings) {
    FUZZ_CHECK(qsizetype(name.size()) * 2 < bytes.size());
    FUZZ_CHECK(qsizetype(text.size()) * 2 < bytes.size());
  }
  return 0;
}
