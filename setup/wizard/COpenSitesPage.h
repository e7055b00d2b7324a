#pragma once

#include "CPrereqWizardPage.h"

class QAction;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// Opens the web sites of the prerequisites the user fetches by hand, and
// checks at Finish that they are now present.
class COpenSitesPage : public CPrereqWizardPage {
  Q_OBJECT

 public:
  explicit COpenSitesPage(CPrereqWizard& wizard);

  void onSetActive() override;
  int onWizBack() override { return CPrereqWizard::PrerequisitesPage; }
  bool onWizFinish() override;

 private:
  void showMenu(const QPoint& at);
  void openSite(QTreeWidgetItem* item);
  void copyUrl();

  QTreeWidget* list_;
  QLabel* text_;
  QAction* open_;
  QAction* copy_;
};
