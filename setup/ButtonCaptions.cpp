#include "ButtonCaptions.h"

#include "MessageBox.h"
#include "SetupStrings.h"

namespace ButtonCaptions {

namespace {

template <typename Button>
struct Caption {
  Button button;
  int text;
};

constexpr Caption<QWizard::WizardButton> kWizard[] = {{QWizard::BackButton, 233},
                                                      {QWizard::NextButton, 234},
                                                      {QWizard::FinishButton, 235},
                                                      {QWizard::CancelButton, 230}};

constexpr Caption<QDialogButtonBox::StandardButton> kStandard[] = {{QDialogButtonBox::Ok, 229},
                                                                   {QDialogButtonBox::Cancel, 230},
                                                                   {QDialogButtonBox::Yes, 231},
                                                                   {QDialogButtonBox::No, 232}};

template <typename Button, size_t N>
QString captionOf(const Caption<Button> (&table)[N], Button which, const QString& code) {
  for (const auto& caption : table)
    if (caption.button == which) return SetupStrings::text(caption.text, code);
  return {};
}

}  // namespace

QString wizard(QWizard::WizardButton which, const QString& code) { return captionOf(kWizard, which, code); }

QString standard(QDialogButtonBox::StandardButton which) {
  return captionOf(kStandard, which, SetupStrings::languageCode());
}

void wordStandardButtons() {
  setButtonWording([](int which) { return standard(QDialogButtonBox::StandardButton(which)); });
}

}  // namespace ButtonCaptions
