// Submits a job of one generated document to the printer emulator on loopback
// and reports the data rate, CPU time and peak resident memory. The streamer
// hands on one buffer per step, which caps the rate near 20 MiB/s.
//
//   bench_submit [MiB in the document, default 1024]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "PrinterEmulator.h"
#include "clsJob.h"
#include "clsPrinter.h"

using BenchMeasure::cpuSeconds;
using BenchMeasure::kMiB;
using BenchMeasure::peakResidentKiB;

namespace {

// What the streamer's steps allow: one 1 MiB buffer per 50 ms.
constexpr double kStepPaceMiBs = 20.0;

// Print data without ESC, so the document holds no exit-language sequence of its own.
bool writeDocument(const QString& path, qint64 mebibytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QByteArray block(kMiB, Qt::Uninitialized);
  for (qint64 i = 0; i < kMiB; ++i) {
    const char c = static_cast<char>((i * 31 + 5) % 256);
    block[i] = c == '\x1b' ? '\x1c' : c;
  }
  for (qint64 i = 0; i < mebibytes; ++i)
    if (file.write(block) != block.size()) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const qint64 mebibytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
  if (mebibytes <= 0) {
    std::fprintf(stderr, "usage: bench_submit [MiB]\n");
    return 2;
  }

  QTemporaryDir folder;
  const QString path = QDir(folder.path()).filePath(QStringLiteral("bench.plt"));
  if (!folder.isValid() || !writeDocument(path, mebibytes)) {
    std::fprintf(stderr, "could not write the document\n");
    return 1;
  }

  PrinterEmulator emulator;
  emulator.setRecording(false);
  clsPrinter printer(QStringLiteral("Emulator"),
                     QStringLiteral("127.0.0.1:") + QString::number(emulator.port()));
  clsJob job;
  job.jobName = QStringLiteral("Bench");
  job.addDoc(-1, path);

  const double cpuBefore = cpuSeconds();
  QElapsedTimer wall;
  wall.start();
  const bool ok = job.submit(&printer);
  const double seconds = wall.elapsed() / 1000.0;
  const double cpu = cpuSeconds() - cpuBefore;
  const double rate = mebibytes / seconds;

  std::printf(
      "%lld MiB in %.2f s = %.1f MiB/s (%.0f%% of the %.0f MiB/s the steps allow); CPU %.2f s; "
      "peak resident %.1f MiB; received %lld bytes; %s\n",
      static_cast<long long>(mebibytes), seconds, rate, 100.0 * rate / kStepPaceMiBs, kStepPaceMiBs, cpu,
      peakResidentKiB() / 1024.0, static_cast<long long>(emulator.bytesReceived(0)),
      ok ? "job completed" : "JOB FAILED");
  return ok ? 0 : 1;
}
