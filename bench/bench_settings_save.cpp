// Adds one printer to settings that hold 100 printers (each with its media,
// fonts and lists) the way the settings dialog does: load, add (which queries
// a printer emulator on loopback), save through clsSettings::SaveToReg. Reports
// the time of the load and of the save, and how many times a save rewrote the
// registry file.
//
//   bench_settings_save [printers already saved, default 100]

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "BenchMeasure.h"
#include "BenchPrinters.h"
#include "BenchSandbox.h"
#include "PrinterEmulator.h"
#include "RegistryStore.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"

namespace {

constexpr qint64 kSaveTargetMs = 50;

double millisecondsSince(const QElapsedTimer& clock) { return double(clock.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  // The status query shows its progress dialog: no one is there to see it.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QApplication app(argc, argv);
  const int printers = argc > 1 ? std::atoi(argv[1]) : 100;
  // The emulator answers with the status reply of the tests.
  if (!qEnvironmentVariableIsSet("KVT_TEST_DATA")) qputenv("KVT_TEST_DATA", KVT_TEST_DATA_DIR);
  gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
  BenchPrinters::save(printers);
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));

  clsSettings settings;
  QElapsedTimer clock;
  clock.start();
  const bool loaded = settings.LoadFromReg();
  const double loadMs = millisecondsSince(clock);

  clock.restart();
  const bool added =
      settings.printers.add(QStringLiteral("Added"), QStringLiteral("127.0.0.1:%1").arg(emulator.port())) &&
      settings.printers.printer(QStringLiteral("Added"));
  const double addMs = millisecondsSince(clock);

  const int writesBefore = RegistryStore::writeCount();
  clock.restart();
  const bool saved = settings.SaveToReg();
  const double saveMs = millisecondsSince(clock);
  const int rewrites = RegistryStore::writeCount() - writesBefore;

  clsSettings check;
  check.LoadFromReg();
  const qsizetype stored = check.printers.names().size();

  std::printf("settings of %d printers: load %.1f ms (%s)\n", printers, loadMs, loaded ? "ok" : "FAILED");
  std::printf("add one printer (status query of the emulator): %.1f ms (%s)\n", addMs,
              added ? "ok" : "FAILED");
  std::printf("save: %.1f ms (target: under %lld ms), %s, %lld printers stored\n", saveMs,
              static_cast<long long>(kSaveTargetMs), saved ? "ok" : "FAILED", static_cast<long long>(stored));
  std::printf("file rewrites per save: %d (target: 1)\n", rewrites);
  std::printf("load + save: %.1f ms\n", loadMs + saveMs);
  std::printf("cpu %.2f s, peak memory %.1f MiB\n", BenchMeasure::cpuSeconds(),
              BenchMeasure::peakResidentKiB() / 1024.0);
  return loaded && added && saved && rewrites == 1 && stored == printers + 1 ? 0 : 1;
}
