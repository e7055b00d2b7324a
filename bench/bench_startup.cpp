// Starts KVTsubmit /QUIT headless with one printer configured and reports the
// wall time from process start to exit and the child's peak resident memory.
// Target: under 400 ms and 64 MiB.
//
//   bench_startup [runs, default 10]

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSandbox.h"
#include "clsPrinter.h"
#include "modLumasetCommon.h"

namespace {

constexpr double kTargetMs = 400.0;
constexpr double kTargetMiB = 64.0;

// The largest resident set of any child waited for so far, in KiB.
long childrenPeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  // KVTsubmit inherits the sandbox: a registry, home and temporary folder of the benchmark's own.
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: bench_startup [runs]\n");
    return 2;
  }

  gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
  clsPrinter printer(QStringLiteral("Plotter"), QStringLiteral("127.0.0.1:9"));
  if (!printer.SaveToReg()) {
    std::fprintf(stderr, "could not configure the printer\n");
    return 1;
  }

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/KVTsubmit");
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer wall;
    wall.start();
    process.start(program, {QStringLiteral("/QUIT")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
      std::fprintf(stderr, "KVTsubmit /QUIT failed: %s\n", process.readAllStandardError().constData());
      return 1;
    }
    times.push_back(static_cast<double>(wall.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  const double peakMiB = childrenPeakKiB() / 1024.0;
  std::printf(
      "KVTsubmit /QUIT: median %.0f ms, slowest %.0f ms over %d runs (target %.0f ms); "
      "peak resident %.1f MiB (target %.0f MiB); %s\n",
      median, times.back(), runs, kTargetMs, peakMiB, kTargetMiB,
      median < kTargetMs && peakMiB < kTargetMiB ? "within target" : "OVER TARGET");
  return 0;
}
