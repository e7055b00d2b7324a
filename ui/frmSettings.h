#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

class QComboBox;
class frmEditPrinter;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
namespace MLRuntime {
class RuntimeSupport;
}

// The modal dialog in which the user configures the printers, the paper-size
// ranges, the unit and the viewer. It edits gSettings in place: OK saves them,
// Cancel reloads them from the registry. Every showing shows what gSettings
// holds at that moment.
class frmSettings : public QDialog {
  Q_OBJECT
 public:
  explicit frmSettings(QWidget* parent = nullptr);
  ~frmSettings() override;

  // True when the dialog was last left with Cancel (or its close button), false with OK.
  bool cancelled = false;

  QTreeWidget* lvPrinters;
  QTreeWidget* lvSizes;
  QComboBox* cboUnits;
  QLineEdit* txtViewer;
  QPushButton* cmdViewerBrowse;
  QPushButton* cmdNew;
  QPushButton* cmdEdit;
  QPushButton* cmdDelete;
  QPushButton* cmdIOK;
  QPushButton* cmdCancel;
  QLabel* lblPrinters;
  QLabel* lblSizes;
  QLabel* lblViewer;
  QLabel* txtUnits;

  // Shows the dialog modally; where nobody can answer it counts as Cancel.
  int exec() override;
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildLayout();
  void LoadCaptions();
  void fillFromSettings();
  void RefreshPrinters();
  void FillRanges();
  void FillUnits();
  void selectRows(const QStringList& keys);
  QStringList selectedRowTexts() const;
  QStringList namesOtherThan(const QString& name) const;
  void editPrinter(const QString& rowText, frmEditPrinter& editor, QStringList& remembered);
  // Adds the printer under its new name and drops the old entry only once the new one is in.
  void renamePrinter(QString oldName, const QString& newName, const QString& address,
                     QStringList& remembered);

  void cmdNew_Click();
  void cmdEdit_Click();
  void cmdDelete_Click();
  void lvSizes_ItemCheck(QTreeWidgetItem* item, int column);
  void cboUnits_Validate();
  void txtViewer_Validate();
  void cmdViewerBrowse_Click();
  void cmdIOK_Click();
  void cmdCancel_Click();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  // Set once OK or Cancel has decided: the focus leaving a box as the dialog
  // hides must not apply it over what Cancel reloaded.
  bool leaving_ = false;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
