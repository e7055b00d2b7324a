#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
namespace MLRuntime {
class RuntimeSupport;
}

// The small modal dialog in which the user types a printer's name and address.
// OK refuses what cannot name a printer and keeps the dialog open with what
// was typed.
class frmEditPrinter : public QDialog {
  Q_OBJECT
 public:
  explicit frmEditPrinter(QWidget* parent = nullptr);
  ~frmEditPrinter() override;

  // True when the dialog was left with Cancel (or its close button), false with OK.
  bool canceled = true;
  // Names OK refuses because another printer already has them (compared without case).
  QStringList takenNames;

  QLineEdit* txtName;
  QLineEdit* txtAddress;
  QLabel* lblName;
  QLabel* lblAddress;
  QPushButton* cmdIOK;
  QPushButton* cmdCancel;

  // Shows the dialog modally; where nobody can answer it counts as Cancel.
  int exec() override;
  void reject() override;

 private:
  void LoadCaptions();
  void cmdIOK_Click();
  void cmdCancel_Click();
  // The message that refuses what was typed, or an empty text when it is fine.
  QString refusal(QLineEdit*& offending) const;
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
