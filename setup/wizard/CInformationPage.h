#pragma once

#include "CPrereqWizardPage.h"

class QTextBrowser;

// The first page: what the setup is going to do, as read-only rich text.
class CInformationPage : public CPrereqWizardPage {
  Q_OBJECT

 public:
  explicit CInformationPage(CPrereqWizard& wizard);

  void onSetActive() override;

  // The information text in the setup's language, English when it has none.
  static QString informationText();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTextBrowser* text_;
};
