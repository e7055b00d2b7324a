#include "clsSettings.h"

#include <QCoreApplication>

#include "MLRuntime.h"
#include "MlStringModule.h"
#include "RegObj.h"

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

// One change of the registry: another program reading the settings meanwhile sees them
// all as they were or all as saved.
bool clsSettings::SaveToReg() {
  RegObj::Batch batch;
  const bool printersSaved = printers.SaveToReg();
  const bool rangesSaved = ranges.SaveToReg();
  const bool viewerSaved = viewer.SaveToReg();
  const bool unitsSaved = units.SaveToReg();
  const bool written = batch.commit();
  return written && printersSaved && rangesSaved && viewerSaved && unitsSaved;
}

// The settings as one save left them; the keys the load opens, and so creates, are one change.
bool clsSettings::LoadFromReg() {
  RegObj::Batch batch;
  const bool printersLoaded = printers.LoadFromReg();
  const bool rangesLoaded = ranges.LoadFromReg();
  const bool viewerLoaded = viewer.LoadFromReg();
  const bool unitsLoaded = units.LoadFromReg();
  batch.commit();
  return printersLoaded && rangesLoaded && viewerLoaded && unitsLoaded;
}

void clsSettings::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
}
