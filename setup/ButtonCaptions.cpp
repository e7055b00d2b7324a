#include "ButtonCaptions.h"

#include "MessageBox.h"
#include "SetupStrings.h"

namespace ButtonCaptions {

namespace {

namespace Text {
constexpr int Ok = 229;
constexpr int Cancel = 230;
constexpr int Yes = 231;
constexpr int No = 232;
constexpr int Back = 233;
constexpr int Next = 234;
constexpr int Finish = 235;
}  // namespace Text

int wizardText(QWizard::WizardButton which) {
  switch (which) {
    case QWizard::BackButton:
      return Text::Back;
    case QWizard::NextButton:
      return Text::Next;
    case QWizard::FinishButton:
      return Text::Finish;
    case QWizard::CancelButton:
      return Text::Cancel;
    default:
      return 0;
  }
}

int standardText(QDialogButtonBox::StandardButton which) {
  switch (which) {
    case QDialogButtonBox::Ok:
      return Text::Ok;
    case QDialogButtonBox::Cancel:
      return Text::Cancel;
    case QDialogButtonBox::Yes:
      return Text::Yes;
    case QDialogButtonBox::No:
      return Text::No;
    default:
      return 0;
  }
}

QString textOf(int id, const QString& code) { return id == 0 ? QString() : SetupStrings::text(id, code); }

}  // namespace

QString wizard(QWizard::WizardButton which, const QString& code) { return textOf(wizardText(which), code); }

QString standard(QDialogButtonBox::StandardButton which) {
  return textOf(standardText(which), SetupStrings::languageCode());
}

void wordStandardButtons() {
  setButtonWording([](int which) { return standard(QDialogButtonBox::StandardButton(which)); });
}

}  // namespace ButtonCaptions
