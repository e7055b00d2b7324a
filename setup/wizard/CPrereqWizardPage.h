#pragma once

#include <QWizardPage>

#include "CPrereqWizard.h"

class CPrerequisiteSet;

// What every page of the prerequisites wizard shares: the sheet, the work
// model, and the sheet's notifications turned into calls.
class CPrereqWizardPage : public QWizardPage {
  Q_OBJECT

 public:
  explicit CPrereqWizardPage(CPrereqWizard& wizard);

  // The page became the current one, by Next, Back or a jump.
  virtual void onSetActive() = 0;
  // Next was pressed: false keeps the page.
  virtual bool onWizNext() { return true; }
  // Back was pressed: the page to go to, or -1 for the one before.
  virtual int onWizBack() { return -1; }
  // Finish was pressed: false refuses to finish.
  virtual bool onWizFinish() { return true; }
  // The wizard is being cancelled.
  virtual void onQueryCancel() {}

  // The page that Next leads to, -1 where Next leads nowhere.
  int nextId() const override;
  // Every page asks for the size of the largest, its height included, so the
  // sheet keeps one size.
  QSize sizeHint() const override;
  bool hasHeightForWidth() const override { return false; }
  // What the page's own contents ask for.
  QSize ownSizeHint() const { return QWizardPage::sizeHint(); }

 protected:
  CPrereqWizard& sheet() const { return wizard_; }
  CPrerequisiteSet& prerequisites() const { return wizard_.prerequisites(); }
  void setNextPage(int id) { nextPage_ = id; }
  void postTitle() { wizard_.setWindowTitle(wizard_.title()); }
  void setButtons(bool back, bool next, bool finish);

 private:
  CPrereqWizard& wizard_;
  int nextPage_ = -1;
};
