#pragma once

#include <QString>

class CPrerequisiteSet;
class QWidget;

// The prerequisites wizard: lets the user choose what to download, open,
// install or skip. For now it offers no pages and counts as cancelled.
class CPrereqWizard {
 public:
  explicit CPrereqWizard(CPrerequisiteSet& set);

  // Runs the wizard modally with `owner` as its owner.
  void run(QWidget* owner);

  // Set unless the user finished the wizard.
  bool cancelled() const { return cancelled_; }

 private:
  CPrerequisiteSet& set_;
  bool cancelled_ = true;
};
