// Times the main window's two heavy steps on a job of many documents: the
// rows rebuilt from the job, and a click on a selection of every row.
// Target: each under 200 ms.
//
//   bench_mainwindow [documents, default 1000]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "DocListView.h"
#include "MlStringModule.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "frmMain.h"
#include "modLumasetCommon.h"

namespace {

template <typename Step>
double milliseconds(Step step) {
  QElapsedTimer timer;
  timer.start();
  step();
  return timer.nsecsElapsed() / 1e6;
}

bool writeDrawing(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write("IN;") == 3;
}

// Only a regular file can be added: each drawing is written before it joins the job.
bool addDrawings(const QTemporaryDir& folder, int documents) {
  for (int i = 0; i < documents; ++i) {
    const QString path = folder.filePath(QStringLiteral("sheet-%1.plt").arg(i));
    if (!writeDrawing(path)) {
      std::fprintf(stderr, "could not write %s\n", qPrintable(path));
      return false;
    }
    clsDocument* added = gJob->addDoc(-1, path);
    if (!added) {
      std::fprintf(stderr, "the job refused %s\n", qPrintable(path));
      return false;
    }
    added->opts->setPjlOpt(QStringLiteral("PAPER"),
                           i % 2 ? QStringLiteral("ISO_A1") : QStringLiteral("ISO_A0"));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const int documents = argc > 1 ? std::atoi(argv[1]) : 1000;
  commonInit();
  InitLocalisation();
  gSettings = std::make_unique<clsSettings>();
  gJob = std::make_unique<clsJob>();
  QTemporaryDir drawings;
  if (!addDrawings(drawings, documents)) return 1;
  frmMain window;
  const double cpuBefore = BenchMeasure::cpuSeconds();
  const double refresh = milliseconds([&] { window.RefreshFromJob(); });
  window.lvDocs->selectAll();
  const double click = milliseconds([&] { window.lvDocs_Click(); });
  std::printf("%d documents: RefreshFromJob %.1f ms, selection click %.1f ms (target: each under 200 ms)\n",
              documents, refresh, click);
  std::printf("CPU %.2f s, peak resident %ld KiB\n", BenchMeasure::cpuSeconds() - cpuBefore,
              BenchMeasure::peakResidentKiB());
  return refresh < 200 && click < 200 ? 0 : 1;
}
