#include "CInformationPage.h"

#include <QEvent>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "CPrerequisiteSet.h"
#include "SetupStrings.h"

CInformationPage::CInformationPage(CPrereqWizard& wizard)
    : CPrereqWizardPage(wizard), text_(new QTextBrowser(this)) {
  setNextPage(CPrereqWizard::PrerequisitesPage);
  text_->setObjectName(QStringLiteral("1020"));
  text_->setReadOnly(true);
  text_->setOpenLinks(false);
  text_->setHtml(informationText());
  text_->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text_);
}

QString CInformationPage::informationText() {
  QFile file(QStringLiteral(":/setup-info/%1.html").arg(SetupStrings::languageCode()));
  if (!file.exists()) file.setFileName(QStringLiteral(":/setup-info/en.html"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Getting the focus puts the caret at the start of the text, in view.
bool CInformationPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == text_ && event->type() == QEvent::FocusIn) {
    QTextCursor start = text_->textCursor();
    start.movePosition(QTextCursor::Start);
    text_->setTextCursor(start);
    text_->ensureCursorVisible();
  }
  return CPrereqWizardPage::eventFilter(watched, event);
}

void CInformationPage::onSetActive() {
  setButtons(false, true, prerequisites().pendingMandatoryCount() == 0);
  postTitle();
}
