// Sends a stream through the TCP client to a reader on loopback, one 1 MiB
// array after another, waiting between rounds as the job submission does, and
// reports throughput, CPU time and peak resident memory.
//
//   bench_send [MiB to send, default 1024] [slow reader's MiB/s, default 20]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "PrinterEmulator.h"
#include "clsServerCon.h"

using BenchMeasure::cpuSeconds;
using BenchMeasure::kMiB;
using BenchMeasure::peakResidentKiB;

namespace {

bool run(const char* label, qint64 mebibytes, qint64 readRate) {
  PrinterEmulator reader;
  reader.setRecording(false);
  reader.setReadRate(readRate);
  clsServerCon con;
  if (!con.connect(QStringLiteral("127.0.0.1"), reader.port())) {
    std::printf("%s: could not connect\n", label);
    return false;
  }
  QByteArray block(kMiB, Qt::Uninitialized);
  for (qint64 i = 0; i < kMiB; ++i) block[i] = static_cast<char>(i * 31);

  const double threadCpuBefore = cpuSeconds(RUSAGE_THREAD);
  const double processCpuBefore = cpuSeconds(RUSAGE_SELF);
  QElapsedTimer wall;
  wall.start();
  bool ok = true;
  for (qint64 i = 0; i < mebibytes && ok; ++i) {
    con.send(block, 0);
    while (con.sending) PumpEvents();
    ok = con.sendSuccess;
  }
  while (ok && reader.bytesReceived(0) < mebibytes * kMiB) PumpEvents();
  const double seconds = wall.elapsed() / 1000.0;
  const double threadCpu = cpuSeconds(RUSAGE_THREAD) - threadCpuBefore;
  const double processCpu = cpuSeconds(RUSAGE_SELF) - processCpuBefore;
  con.disconnect();

  std::printf(
      "%-5s reader: %lld MiB in %.2f s = %.1f MiB/s; CPU %.2f s sending thread, %.2f s process; "
      "peak resident %.1f MiB; %s\n",
      label, static_cast<long long>(mebibytes), seconds, mebibytes / seconds, threadCpu, processCpu,
      peakResidentKiB() / 1024.0, ok ? "all bytes arrived" : "SEND FAILED");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const qint64 mebibytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
  const qint64 slowRate = (argc > 2 ? QByteArray(argv[2]).toLongLong() : 20) * kMiB;
  if (mebibytes <= 0 || slowRate <= 0) {
    std::fprintf(stderr, "usage: bench_send [MiB] [slow reader MiB/s]\n");
    return 2;
  }
  const bool fast = run("fast", mebibytes, 0);
  const bool slow = run("slow", mebibytes, slowRate);
  return fast && slow ? 0 : 1;
}
