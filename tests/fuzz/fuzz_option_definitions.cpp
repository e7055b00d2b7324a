// Option definition loader: any file loads without harm, and what it names can be looked up.
#include "FuzzSupport.h"
#include "modPJLOpts.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  modPJLOpts::setSupportFolder(FuzzSupport::scratch() + QStringLiteral("/definitions"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSupport::writeScratch(QStringLiteral("definitions/pjl.xml"), FuzzSupport::bytesOf(data, size));
  modPJLOpts::Initialise(true);
  for (const QString& category : modPJLOpts::CategoryNames()) {
    modPJLOpts::CategoryDescription(category);
    for (const QString& option : modPJLOpts::CategoryOptions(category)) modPJLOpts::FindCategory(option);
  }
  return 0;
}
