#include "clsSettings.h"

#include <QCoreApplication>

#include "MLRuntime.h"
#include "MlStringModule.h"

std::unique_ptr<clsSettings> gSettings;

// The default viewer is sought beside the running program.
clsSettings::clsSettings()
    : viewer(QCoreApplication::applicationDirPath()),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  QObject::connect(
      ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged,
      [this](int id, const QString& language) { ml_RuntimeSupport_LanguageChanged(id, language); });
}

clsSettings::~clsSettings() = default;

bool clsSettings::SaveToReg() {
  const bool printersSaved = printers.SaveToReg();
  const bool rangesSaved = ranges.SaveToReg();
  const bool viewerSaved = viewer.SaveToReg();
  const bool unitsSaved = units.SaveToReg();
  return printersSaved && rangesSaved && viewerSaved && unitsSaved;
}

bool clsSettings::LoadFromReg() {
  const bool printersLoaded = printers.LoadFromReg();
  const bool rangesLoaded = ranges.LoadFromReg();
  const bool viewerLoaded = viewer.LoadFromReg();
  const bool unitsLoaded = units.LoadFromReg();
  return printersLoaded && rangesLoaded && viewerLoaded && unitsLoaded;
}

void clsSettings::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
