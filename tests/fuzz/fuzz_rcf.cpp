// RCF conversion both ways: any section line converts to options, and any option value to an entry.
#include "FuzzSupport.h"
#include "clsPJLOption.h"
#include "clsPJLOptionSet.h"
#include "modPJLOpts.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  modPJLOpts::setSupportFolder(FuzzSupport::supportFolder());
  modPJLOpts::Initialise(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromLatin1(FuzzSupport::bytesOf(data, size));
  clsPJLOptionSet set;
  set.UpdateFromRCF(text);
  // Back again: every option the line gave writes its own entry.
  for (const QString& name : set.optionNames()) {
    QString entry;
    set.option(name)->GetRCFEntry(entry);
  }
  // And a value of the input's choosing for an option named by its first word.
  const qsizetype blank = text.indexOf(QLatin1Char(' '));
  clsPJLOption option;
  option.name = text.left(blank < 0 ? 0 : blank).toUpper();
  option.setValue(text.mid(blank + 1));
  QString entry;
  option.GetRCFEntry(entry);
  return 0;
}
