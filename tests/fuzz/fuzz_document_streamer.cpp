// Document streamer: the data of any file is handed on in order, and the stream ends exactly once.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "FuzzSupport.h"
#include "clsPJLStreamProcessor.h"
#include "modPJL.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzSupport::setUp();
  modPJL::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = FuzzSupport::bytesOf(data, size);
  const QString path = FuzzSupport::writeScratch(QStringLiteral("document.plt"), bytes);
  clsPJLStreamProcessor streamer;
  QByteArray handedOn;
  int completions = 0;
  bool afterEnd = false;
  QObject::connect(&streamer, &clsPJLStreamProcessor::ProcessData,
                   [&](const QStringList*, const ByteView& part) {
                     afterEnd = afterEnd || completions > 0;
                     handedOn.append(part.data(), part.size());
                   });
  QObject::connect(&streamer, &clsPJLStreamProcessor::StreamComplete, [&](bool) { ++completions; });
  streamer.BeginFileStream(path, QString());
  QElapsedTimer clock;
  clock.start();
  while (completions == 0 && clock.elapsed() < 5000) {
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  QCoreApplication::processEvents();
  FUZZ_CHECK(completions == 1);
  FUZZ_CHECK(!afterEnd);
  FUZZ_CHECK(handedOn.size() <= bytes.size());
  // What goes on is the file with its framing cut away: its pieces stand in the file in order.
  qsizetype from = 0;
  for (qsizetype i = 0; i < handedOn.size(); ++i) {
    from = bytes.indexOf(handedOn[i], from);
    FUZZ_CHECK(from >= 0);
    ++from;
  }
  return 0;
}
