// Setup configuration: any configuration file loads without harm, and every
// prerequisite it yields has its found versions and its state.
#include "CBootstrapConfig.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  ::setenv("KVT_SYSTEM_FOLDER", (FuzzSupport::scratch() + QStringLiteral("/system/")).toLocal8Bit().constData(),
           1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path = FuzzSupport::writeScratch(QStringLiteral("setup.ini"), FuzzSupport::bytesOf(data, size));
  CBootstrapConfig config;
  config.LoadConfiguration(path);
  FUZZ_CHECK(config.foundVersions.size() == config.prerequisites.size());
  FUZZ_CHECK(config.states.size() == config.prerequisites.size());
  config.GetDownloadFolder();
  config.GetExtractionFolder();
  for (int i = 0; i < config.prerequisites.size(); ++i) config.EvaluatePrerequisite(i);
  config.HasWork();
  return 0;
}
