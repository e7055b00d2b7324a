// Streams a large generated document (a PJL header, then data without
// framing) through the document streamer, counting the bytes raised, and
// reports throughput, CPU time and peak resident memory. The pace is set by
// the streamer's steps: one buffer per 50 ms step.
//
//   bench_stream [MiB in the file, default 1024]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <cstdlib>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "clsPJLStreamProcessor.h"

using BenchMeasure::cpuSeconds;
using BenchMeasure::kMiB;
using BenchMeasure::peakResidentKiB;

namespace {

// A PJL header and `mebibytes` MiB of data that holds no ESC, so no UEL.
bool writeDocument(QFile& file, qint64 mebibytes) {
  QByteArray block(kMiB, Qt::Uninitialized);
  for (qint64 i = 0; i < kMiB; ++i) block[i] = static_cast<char>('A' + i % 26);
  const QByteArray header = QByteArray("\x1b%-12345X@PJL\r\n@PJL ENTER LANGUAGE=HPGL2\r\n");
  if (file.write(header) != header.size()) return false;
  for (qint64 i = 0; i < mebibytes; ++i)
    if (file.write(block) != block.size()) return false;
  return file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const qint64 mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
  QTemporaryFile document(QDir::tempPath() + "/bench_stream_XXXXXX.plt");
  if (!document.open() || !writeDocument(document, mebibytes)) {
    std::printf("could not write the document\n");
    return 1;
  }
  document.close();

  clsPJLStreamProcessor streamer;
  qint64 bytes = 0;
  bool success = false;
  QEventLoop loop;
  QObject::connect(&streamer, &clsPJLStreamProcessor::ProcessData,
                   [&](const QStringList*, const ByteView& bData) { bytes += bData.size(); });
  QObject::connect(&streamer, &clsPJLStreamProcessor::StreamComplete, [&](bool ok) {
    success = ok;
    loop.quit();
  });
  const double cpuBefore = cpuSeconds();
  QElapsedTimer wall;
  wall.start();
  streamer.BeginFileStream(document.fileName(), QString());
  loop.exec();
  const double seconds = wall.elapsed() / 1000.0;
  const double cpu = cpuSeconds() - cpuBefore;

  std::printf("stream %lld MiB: %s, %lld data bytes in %.2f s = %.1f MiB/s, CPU %.2f s, peak RSS %ld KiB\n",
              static_cast<long long>(mebibytes), success ? "complete" : "FAILED",
              static_cast<long long>(bytes), seconds, bytes / double(kMiB) / seconds, cpu, peakResidentKiB());
  return success && bytes == mebibytes * kMiB ? 0 : 1;
}
