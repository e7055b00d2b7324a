#pragma once

#include <memory>

#include "clsPrinters.h"
#include "clsSizes.h"
#include "clsUnits.h"
#include "clsViewer.h"

namespace MLRuntime {
class RuntimeSupport;
}

// The settings aggregate: printers, size ranges, viewer and units, saved and
// loaded together.
class clsSettings {
 public:
  clsSettings();
  ~clsSettings();

  clsPrinters printers;
  clsSizes ranges;
  clsViewer viewer;
  clsUnits units;

  // True only when all four succeed; all four are always tried.
  bool SaveToReg();
  bool LoadFromReg();

 private:
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};

// The application's settings, for the whole run; null until start-up makes them.
extern std::unique_ptr<clsSettings> gSettings;
