#include "CPrereqWizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "ButtonCaptions.h"
#include "CBootstrapConfig.h"
#include "CDownloadPage.h"
#include "CInformationPage.h"
#include "CInstallPage.h"
#include "COpenSitesPage.h"
#include "CPayloadArchive.h"
#include "CPrerequisiteSet.h"
#include "CPrerequisitesPage.h"
#include "MessageBox.h"
#include "SetupMessages.h"
#include "SetupStrings.h"

namespace {

constexpr int kTitle = 161;

bool headlessRunAllowed = false;

QIcon setupIcon() {
  return QIcon::fromTheme(QStringLiteral("system-software-install"),
                          QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
}

}  // namespace

CPrereqWizard::CPrereqWizard(CPrerequisiteSet& set, const QString& productName, QWidget* owner)
    : QWizard(owner),
      set_(set),
      productName_(productName),
      informationShown_(!set.config().HasOption(QStringLiteral("h"))) {
  setObjectName(QStringLiteral("CPrereqWizard"));
  setWizardStyle(ClassicStyle);
  setOptions(HaveFinishButtonOnEarlyPages | HaveNextButtonOnLastPage);
  setWindowFlags(
      (windowFlags() | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) &
      ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
  setSizeGripEnabled(true);
  setWindowIcon(setupIcon());
  title_ = setupText(kTitle, {productText()});
  setWindowTitle(title_);
  if (informationShown_) setPage(InformationPage, new CInformationPage(*this));
  setPage(PrerequisitesPage, new CPrerequisitesPage(*this));
  setPage(DownloadPage, new CDownloadPage(*this));
  setPage(OpenSitesPage, new COpenSitesPage(*this));
  setPage(InstallPage, new CInstallPage(*this));
  captionButtons();
  QAbstractButton* back = button(BackButton);
  QObject::disconnect(back, nullptr, this, nullptr);
  connect(back, &QAbstractButton::clicked, this, &CPrereqWizard::goBack);
  connect(this, &QWizard::currentIdChanged, this, &CPrereqWizard::activate);
  connect(qApp, &QApplication::focusChanged, this, &CPrereqWizard::keepFocusOffBackAndCancel);
}

// The buttons carry the words the page texts name them by.
void CPrereqWizard::captionButtons() {
  const QString language = SetupStrings::languageCode();
  for (WizardButton which : {BackButton, NextButton, FinishButton, CancelButton})
    setButtonText(which, ButtonCaptions::wizard(which, language));
}

void CPrereqWizard::allowHeadlessRun(bool allowed) { headlessRunAllowed = allowed; }

void CPrereqWizard::run(QWidget* owner) {
  cancelled_ = true;
  if (isHeadless() && !headlessRunAllowed) return;
  if (owner && owner != parentWidget()) setParent(owner, windowFlags());
  exec();
}

QString CPrereqWizard::productText() const {
  return productName_.isEmpty() ? set_.archive().archivePath() : productName_;
}

CPrereqWizardPage* CPrereqWizard::pageAt(int id) const {
  return static_cast<CPrereqWizardPage*>(QWizard::page(id));
}

void CPrereqWizard::activate(int id) {
  if (jumping_ || id < 0) return;
  placePages();
  pageAt(id)->onSetActive();
}

void CPrereqWizard::goToPage(int id) {
  if (!visitedIds().contains(id) || currentId() == id) return;
  jumping_ = true;
  while (currentId() != id) back();
  jumping_ = false;
  activate(id);
}

void CPrereqWizard::goBack() {
  CPrereqWizardPage* current = pageAt(currentId());
  if (!current) return;
  const int target = current->onWizBack();
  const QList<int> history = visitedIds();
  if (target >= 0)
    goToPage(target);
  else if (history.size() > 1)
    goToPage(history.at(history.size() - 2));
}

void CPrereqWizard::postClick(WizardButton which) {
  QMetaObject::invokeMethod(
      this,
      [this, which] {
        if (QAbstractButton* b = button(which); b && b->isEnabled()) b->click();
      },
      Qt::QueuedConnection);
}

void CPrereqWizard::setButtonEnabled(WizardButton which, bool enabled) {
  button(which)->setEnabled(enabled);
  updateDefaultButton();
}

// Qt hands the focus of a control being disabled or hidden on to the next one,
// often Cancel, where the next Return would cancel the setup. The page takes
// it instead, as the focus is simply lost on Windows: Return then presses the
// default button, if any.
void CPrereqWizard::keepFocusOffBackAndCancel(QWidget* old, QWidget* now) {
  const bool drifted = old && (!old->isEnabled() || !old->isVisible());
  if (drifted && currentPage() && (now == button(BackButton) || now == button(CancelButton)))
    currentPage()->setFocus();
}

// Return presses Next while the page leads on, and Finish only where it is the
// page's last step.
void CPrereqWizard::updateDefaultButton() {
  auto* next = qobject_cast<QPushButton*>(button(NextButton));
  auto* finish = qobject_cast<QPushButton*>(button(FinishButton));
  if (!next || !finish) return;
  next->setDefault(false);
  finish->setDefault(false);
  if (next->isEnabled())
    next->setDefault(true);
  else if (finish->isEnabled())
    finish->setDefault(true);
}

QSize CPrereqWizard::largestPageSize() const {
  QSize largest;
  for (int id : pageIds()) largest = largest.expandedTo(pageAt(id)->ownSizeHint());
  return largest;
}

bool CPrereqWizard::validateCurrentPage() {
  if (finishing_) return true;
  CPrereqWizardPage* current = pageAt(currentId());
  return current && current->onWizNext();
}

void CPrereqWizard::done(int result) {
  CPrereqWizardPage* current = pageAt(currentId());
  if (result != Accepted) {
    if (current) current->onQueryCancel();
    QWizard::done(result);
    return;
  }
  if (current && !current->onWizFinish()) return;
  cancelled_ = false;
  finishing_ = true;
  QWizard::done(result);
  finishing_ = false;
}

// The sheet opens at the size of its largest page and never gets smaller
// than that: switching pages does not change its size.
void CPrereqWizard::showEvent(QShowEvent* event) {
  QWizard::showEvent(event);
  if (positioned_) return;
  positioned_ = true;
  const QScreen* screen = this->screen();
  const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), sizeHint());
  resize(sizeHint().boundedTo(available.size()));
  setMinimumSize(size());
  move(available.center() - rect().center());
}

void CPrereqWizard::resizeEvent(QResizeEvent* event) {
  QWizard::resizeEvent(event);
  placePages();
}

const QFrame* CPrereqWizard::separatorLine(const QWidget* pageArea) const {
  for (const QFrame* frame : findChildren<QFrame*>())
    if (frame->frameShape() == QFrame::HLine && !pageArea->isAncestorOf(frame) && frame->isVisibleTo(this))
      return frame;
  return nullptr;
}

// Each page's contents stay kInset pixels inside the sheet's client area and
// above the line over the buttons, whatever margins the wizard's own layout
// uses. Those gaps are the same for every page at every size, so they are
// measured on the current page once the layouts around it have placed it.
void CPrereqWizard::placePages() {
  QWizardPage* current = currentPage();
  const QFrame* line = current ? separatorLine(current->parentWidget()) : nullptr;
  if (!line) return;
  QWidget* area = line->parentWidget();
  QList<QWidget*> around;
  for (QWidget* w = current->parentWidget(); w && w != area->parentWidget(); w = w->parentWidget())
    around.prepend(w);
  for (QWidget* w : around)
    if (QLayout* layout = w->layout()) layout->activate();
  const QRect page(current->mapTo(area, QPoint(0, 0)), current->size());
  const int bottom = line->mapTo(area, QPoint(0, 0)).y();
  const QMargins margins(qMax(0, kInset - page.left()), qMax(0, kInset - page.top()),
                         qMax(0, page.right() + 1 - (area->width() - kInset)),
                         qMax(0, page.bottom() + 1 - (bottom - kInset)));
  for (int id : pageIds()) QWizard::page(id)->setContentsMargins(margins);
}
