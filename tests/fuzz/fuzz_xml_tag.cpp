// XML tag reader: every tag of any file is read in bounded steps, each tag split by the shared rules.
#include "FuzzSupport.h"
#include "XmlTag.h"
#include "clsXML.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = FuzzSupport::bytesOf(data, size);
  XmlTag::split(QString::fromLatin1(bytes));
  clsXML reader;
  FUZZ_CHECK(reader.openFile(FuzzSupport::writeScratch(QStringLiteral("tags.xml"), bytes)));
  KeyedCollection<QString> params;
  // Each tag consumes at least its "<": more tags than bytes means no progress.
  size_t tags = 0;
  for (QString tag = reader.ReadXMLTag(params); !tag.isEmpty(); tag = reader.ReadXMLTag(params)) {
    FUZZ_CHECK(++tags <= size);
    reader.ReadData(tag);
  }
  return 0;
}
