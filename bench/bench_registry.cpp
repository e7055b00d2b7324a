// Loads the settings of 20 printers (each with its media, fonts and lists)
// from the registry store through clsSettings::LoadFromReg, and reports the
// time of a load, how many times the file was parsed, and what a parse of a
// large file costs in memory.
//
//   bench_registry [MiB of the large file, default 64]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "BenchMeasure.h"
#include "BenchPrinters.h"
#include "BenchSandbox.h"
#include "RegistryStore.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"

namespace {

constexpr int kPrinters = 20;
constexpr int kLoads = 10;

// Peak resident memory growth while a fresh store parses a file of about `mebibytes` MiB.
void measureLargeParse(qint64 mebibytes) {
  RegistryStore writer(0x80000002);
  QFile file(writer.filePath());
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write("REGEDIT4\r\n");
  qint64 written = 0;
  for (int key = 0; written < mebibytes * BenchMeasure::kMiB; ++key) {
    QByteArray block = "\r\n[HKEY_LOCAL_MACHINE\\Software\\Bench\\Key " + QByteArray::number(key) + "]\r\n";
    for (int v = 0; v < 20; ++v)
      block += "\"Value " + QByteArray::number(v) + "\"=\"Some text of a setting " + QByteArray::number(v) +
               "\"\r\n";
    written += file.write(block);
  }
  file.close();
  const long before = BenchMeasure::peakResidentKiB();
  QElapsedTimer clock;
  clock.start();
  const int keys = RegistryStore(0x80000002).subKeys(QStringLiteral("Software\\Bench")).size();
  const long after = BenchMeasure::peakResidentKiB();
  std::printf(
      "large file: %.1f MiB, %d keys, parsed in %lld ms, peak memory grew by %.1f MiB (%.1f x the file)\n",
      double(written) / BenchMeasure::kMiB, keys, static_cast<long long>(clock.elapsed()),
      double(after - before) / 1024, double(after - before) * 1024 / double(written));
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const qint64 largeMiB = argc > 1 ? std::atoll(argv[1]) : 64;
  gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
  BenchPrinters::save(kPrinters);
  const qint64 fileSize = QFileInfo(RegistryStore(0x80000001).filePath()).size();

  int parses = RegistryStore::parseCount();
  QElapsedTimer clock;
  clock.start();
  clsSettings first;
  const bool loaded = first.LoadFromReg();
  const qint64 firstMs = clock.elapsed();
  const int firstParses = RegistryStore::parseCount() - parses;

  parses = RegistryStore::parseCount();
  clock.restart();
  for (int i = 0; i < kLoads; ++i) {
    clsSettings again;
    again.LoadFromReg();
  }
  const double laterMs = double(clock.nsecsElapsed()) / 1e6 / kLoads;
  const int laterParses = RegistryStore::parseCount() - parses;

  std::printf("settings of %d printers (%d loaded, file %lld bytes): %s\n", kPrinters,
              int(first.printers.names().size()), static_cast<long long>(fileSize), loaded ? "ok" : "FAILED");
  std::printf("first load: %lld ms, %d parses (target: under 20 ms)\n", static_cast<long long>(firstMs),
              firstParses);
  std::printf("later loads of the unchanged file: %.2f ms each, %d parses in %d loads (target: 0)\n", laterMs,
              laterParses, kLoads);
  measureLargeParse(largeMiB);
  std::printf("cpu %.2f s, peak memory %.1f MiB\n", BenchMeasure::cpuSeconds(),
              BenchMeasure::peakResidentKiB() / 1024.0);
  return loaded && laterParses == 0 ? 0 : 1;
}
