// Printer status reply: any reply, cut at form feeds as the TCP client cuts it, parses without harm.
#include "Ansi.h"
#include "FuzzSupport.h"
#include "clsPrinter.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QStringList messages;
  for (const QByteArray& message : FuzzSupport::bytesOf(data, size).split('\f'))
    messages.append(fromAnsi(message));
  clsPrinter printer(QStringLiteral("Fuzz"), QStringLiteral("127.0.0.1"));
  printer.takeStatusReply(messages);
  FUZZ_CHECK(printer.mediaTypes.size() >= 1);
  FUZZ_CHECK(printer.mediaTypes.at(0).name == QStringLiteral("ANY"));
  FUZZ_CHECK(!printer.finishProgs.isEmpty());
  printer.model();
  printer.version();
  return 0;
}
