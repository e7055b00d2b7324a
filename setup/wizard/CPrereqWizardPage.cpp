#include "CPrereqWizardPage.h"

CPrereqWizardPage::CPrereqWizardPage(CPrereqWizard& wizard) : wizard_(wizard) {}

int CPrereqWizardPage::nextId() const { return nextPage_; }

QSize CPrereqWizardPage::sizeHint() const { return wizard_.largestPageSize(); }

void CPrereqWizardPage::setButtons(bool back, bool next, bool finish) {
  wizard_.setButtonEnabled(QWizard::BackButton, back);
  wizard_.setButtonEnabled(QWizard::NextButton, next);
  wizard_.setButtonEnabled(QWizard::FinishButton, finish);
}
