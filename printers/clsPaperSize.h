#pragma once

#include <QString>
#include <memory>

#include "MLRuntime.h"

// The registry key of a paper-size catalogue: the base key's "PaperSizes", or
// that of a print queue when one is named.
QString paperSizesKey(const QString& queue);

// Millimetres as text: the shortest form that reads back the same, "." as separator.
QString sizeText(double millimetres);

// One entry of the paper-size catalogue, in millimetres: a sheet is stored
// landscape; a roll has width 0 and its roll width as height.
class clsPaperSize {
 public:
  clsPaperSize();
  ~clsPaperSize();
  clsPaperSize(const clsPaperSize&) = delete;
  clsPaperSize& operator=(const clsPaperSize&) = delete;

  double width = 0;
  double height = 0;
  qint32 id = -1;
  QString name;
  QString desc;
  // Family and loading only filter what is read from the catalogue file.
  QString family;
  QString loading;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;

  // The description, or the name when there is none.
  QString getDesc() const;
  bool SaveToReg(const QString& queue) const;
  bool LoadFromReg(const QString& sizeName, const QString& queue);
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);
};
