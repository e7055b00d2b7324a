#pragma once

#include "CPrereqWizardPage.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The check list of prerequisites: what to download, open, install or skip,
// the download folder, and what Next will do.
class CPrerequisitesPage : public CPrereqWizardPage {
  Q_OBJECT

 public:
  enum NextStep { DownloadStep = 0, OpenSitesStep = 1, InstallStep = 2, NothingLeft = 4 };

  explicit CPrerequisitesPage(CPrereqWizard& wizard);

  void onSetActive() override;
  bool onWizNext() override;

  NextStep nextStep() const { return nextStep_; }

  // The version column of prerequisite `index`: the requirement, then what was found.
  QString versionText(int index) const;

 private:
  void fill();
  void update();
  void postUpdate();
  void checkChanged(QTreeWidgetItem* item, int column);
  void setChecked(QTreeWidgetItem* item, bool checked);
  void showMenu(const QPoint& at);
  void browse();
  QString actionText(int state) const;

  QTreeWidget* list_;
  QLineEdit* folder_;
  QPushButton* browse_;
  QLabel* nextText_;
  QAction* install_;
  QAction* skip_;
  int downloads_ = 0;
  int installs_ = 0;
  int sites_ = 0;
  NextStep nextStep_ = NothingLeft;
  bool filling_ = false;
  bool filled_ = false;
  bool updatePosted_ = false;
};
