#include "WizardButtonCaptions.h"

namespace WizardButtonCaptions {

namespace {

// Qt's decoration and access keys: "< &Back", "&Next >", "&Finish", "Cancel".
struct Captions {
  const char* language;
  const char* back;
  const char* next;
  const char* finish;
  const char* cancel;
};

constexpr Captions kCaptions[] = {
    {"en", "< &Back", "&Next >", "&Finish", "Cancel"},
    {"fr", "< &Précédent", "&Suivant >", "&Terminer", "Annuler"},
    {"de", "< &Zurück", "&Weiter >", "&Fertig stellen", "Abbrechen"},
    {"es", "< &Atrás", "&Siguiente >", "&Finalizar", "Cancelar"},
    {"it", "< &Indietro", "&Avanti >", "&Fine", "Annulla"},
    // Back and Next both start with V: Back takes the next letter.
    {"nl", "< V&orige", "&Volgende >", "Vol&tooien", "Annuleren"},
    {"pt", "< &Anterior", "&Seguinte >", "&Concluir", "Cancelar"},
    {"sv", "< &Bakåt", "&Nästa >", "&Slutför", "Avbryt"},
    {"da", "< &Tilbage", "&Næste >", "&Udfør", "Annuller"},
    {"nb", "< &Tilbake", "&Neste >", "&Fullfør", "Avbryt"},
};

const Captions& captionsOf(const QString& languageCode) {
  for (const Captions& captions : kCaptions)
    if (languageCode == QLatin1String(captions.language)) return captions;
  return kCaptions[0];
}

const char* pick(const Captions& captions, QWizard::WizardButton which) {
  switch (which) {
    case QWizard::BackButton:
      return captions.back;
    case QWizard::NextButton:
      return captions.next;
    case QWizard::FinishButton:
      return captions.finish;
    case QWizard::CancelButton:
      return captions.cancel;
    default:
      return "";
  }
}

}  // namespace

QString caption(const QString& languageCode, QWizard::WizardButton which) {
  return QString::fromUtf8(pick(captionsOf(languageCode), which));
}

}  // namespace WizardButtonCaptions
