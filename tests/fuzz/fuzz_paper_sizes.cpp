// Paper-size catalogue: any sizes.xml loads without harm and admits only usable sizes.
#include "FuzzSupport.h"
#include "clsPaperSizes.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  ::setenv("KVT_SUPPORT_DIR",
           (FuzzSupport::scratch() + QStringLiteral("/catalogue")).toLocal8Bit().constData(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSupport::writeScratch(QStringLiteral("catalogue/sizes.xml"), FuzzSupport::bytesOf(data, size));
  clsPaperSizes sizes;
  sizes.GetDefaults();
  sizes.readXML();
  for (const auto& entry : sizes.paperSizes) {
    FUZZ_CHECK(entry.second->height > 0);
    FUZZ_CHECK(entry.second->width >= 0);
  }
  return 0;
}
