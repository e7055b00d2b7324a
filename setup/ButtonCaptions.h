#pragma once

#include <QDialogButtonBox>
#include <QString>
#include <QWizard>

// The captions of the buttons in the setup's windows, from its own texts in the
// user's language: the platform words them otherwise, or, in a language it has
// no translation for, in English.
namespace ButtonCaptions {

// The wizard's Back, Next, Finish and Cancel, worded as its pages name them, in
// the language `code` ("en", "fr", ...); empty for other buttons.
QString wizard(QWizard::WizardButton which, const QString& code);

// OK, Cancel, Yes and No of the boxes and dialogs, in the setup's language;
// empty for other buttons.
QString standard(QDialogButtonBox::StandardButton which);

// Lets every message box and dialog of the process word its standard buttons so.
void wordStandardButtons();

}  // namespace ButtonCaptions
