#pragma once

#include <QString>
#include <QWizard>

// The captions of the wizard's Back, Next, Finish and Cancel buttons in each
// language of the setup's texts, worded as those texts name the buttons: the
// sheet's buttons are the platform's, whose own translations word them otherwise.
namespace WizardButtonCaptions {

// The caption of `which` in the language `languageCode` ("en", "fr", ...),
// English for a language the setup has no texts in; empty for other buttons.
QString caption(const QString& languageCode, QWizard::WizardButton which);

}  // namespace WizardButtonCaptions
