// Command-line splitting: arguments quoted and joined again split into the same arguments.
#include "FuzzSupport.h"
#include "modLumasetCommon.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QStringList arguments = SplitCommandLine(QString::fromLatin1(FuzzSupport::bytesOf(data, size)));
  QStringList quoted;
  for (const QString& argument : arguments) {
    FUZZ_CHECK(!argument.isEmpty());
    FUZZ_CHECK(!argument.contains(QLatin1Char('"')));
    quoted.append(QLatin1Char('"') + argument + QLatin1Char('"'));
  }
  FUZZ_CHECK(SplitCommandLine(quoted.join(QLatin1Char(' '))) == arguments);
  return 0;
}
