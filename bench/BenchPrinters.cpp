#include "BenchPrinters.h"

#include "RegObj.h"
#include "clsPrinter.h"

namespace BenchPrinters {

void save(int count) {
  RegObj::Batch batch;
  for (int p = 0; p < count; ++p) {
    clsPrinter printer(QStringLiteral("Plotter %1").arg(p), QStringLiteral("10.0.0.%1:2000").arg(p));
    printer.finisherModel = QStringLiteral("FoldMaster 200");
    for (int m = 0; m < 12; ++m) {
      clsMedia media;
      media.name = QStringLiteral("Medium %1").arg(m);
      media.frenchName = media.name + QStringLiteral(" fr");
      media.germanName = media.name + QStringLiteral(" de");
      printer.mediaTypes.insert(QStringLiteral("x") + media.name.toUpper(), media);
    }
    for (int f = 0; f < 30; ++f)
      printer.fonts.insert(QStringLiteral("xF%1").arg(f), QStringLiteral("Font %1").arg(f));
    for (int s = 0; s < 15; ++s)
      printer.sizes.insert(QStringLiteral("xS%1").arg(s), QStringLiteral("ISO_A%1").arg(s));
    for (int s = 0; s < 4; ++s)
      printer.sources.insert(QStringLiteral("xR%1").arg(s), QStringLiteral("ROLL%1").arg(s));
    printer.SaveToReg();
  }
  batch.commit();
}

}  // namespace BenchPrinters
