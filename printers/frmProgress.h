#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
namespace MLRuntime {
class RuntimeSupport;
}

// The modal dialog behind which long operations run, one instance for the
// whole program. It does no work itself: its driver's timer steps the work,
// and the work hides the dialog when done; Cancel hides it with `cancelled` set.
class frmProgress : public QDialog {
  Q_OBJECT
 public:
  // The instance, created and loaded on first use.
  static frmProgress* Load();
  // The loaded instance, or nullptr.
  static frmProgress* instance();
  static void Unload();

  ~frmProgress() override;

  bool cancelled = false;

  QProgressBar* pbProgress;
  QLabel* lblFilename;
  QPushButton* cmdCancel;

  // Esc and the window's close button end up here too.
  void reject() override;

 private:
  frmProgress();
  void Form_Load();
  void LoadCaptions();
  void cmdCancel_Click();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
