#pragma once

#include <QString>
#include <QWizard>

class CPrerequisiteSet;
class CPrereqWizardPage;
class QFrame;

// The prerequisites wizard: lets the user choose what to download, open,
// install or skip, and runs it with progress. It counts as cancelled unless
// the user finishes it or the Open Sites page finds nothing left to do.
class CPrereqWizard : public QWizard {
  Q_OBJECT

 public:
  // The pages in order; the Information page is left out with option "h".
  enum PageId { InformationPage, PrerequisitesPage, DownloadPage, OpenSitesPage, InstallPage };

  // `productName` is the archive's own; empty when it has none.
  CPrereqWizard(CPrerequisiteSet& set, const QString& productName, QWidget* owner = nullptr);

  // Runs the wizard modally. Where nobody can answer it counts as cancelled,
  // unless a test let it run (allowHeadlessRun).
  void run(QWidget* owner);
  static void allowHeadlessRun(bool allowed);

  bool cancelled() const { return cancelled_; }
  void clearCancelled() { cancelled_ = false; }

  CPrerequisiteSet& prerequisites() { return set_; }
  bool informationShown() const { return informationShown_; }
  QString title() const { return title_; }
  // The product name, or the archive's path when it has none.
  QString productText() const;

  // Goes back to a page already visited, activating only that page.
  void goToPage(int id);
  // Clicks Next or Finish once the current event is handled.
  void postClick(WizardButton which);
  // Enables or disables a button; Next is then the default button when it is
  // enabled, else Finish when it is.
  void setButtonEnabled(WizardButton which, bool enabled);

  // The size that fits every page's contents.
  QSize largestPageSize() const;

  // The Prerequisites page fills its list again after installs or re-detection.
  void requestRefill() { refill_ = true; }
  bool takeRefillRequest() { return std::exchange(refill_, false); }

  // Interior pages keep this far from the sheet's edges and from the line above the buttons.
  static constexpr int kInset = 11;

  void done(int result) override;

 protected:
  bool validateCurrentPage() override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void captionButtons();
  CPrereqWizardPage* pageAt(int id) const;
  void activate(int id);
  void goBack();
  void updateDefaultButton();
  void keepFocusOffBackAndCancel(QWidget* old, QWidget* now);
  const QFrame* separatorLine(const QWidget* pageArea) const;
  void placePages();

  CPrerequisiteSet& set_;
  QString productName_;
  QString title_;
  bool informationShown_;
  bool cancelled_ = true;
  bool jumping_ = false;
  bool finishing_ = false;
  bool positioned_ = false;
  bool refill_ = false;
};
