#pragma once

#include <QDialog>
#include <memory>

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class RegObj;
namespace MLRuntime {
class RuntimeSupport;
}

// The dialog in which the user chooses the interface language, and whether it
// is offered again at every start. The choice is kept machine-wide when that
// key can be written, else per user.
class LanguageSelect : public QDialog {
  Q_OBJECT
 public:
  // At start-up: applies the stored language and shows the dialog only when
  // the user asked for it. From the menu: always shows it. Where nobody can
  // answer, the dialog is not shown and nothing is written.
  static void ShowDialog(bool atStartup);

  ~LanguageSelect() override;

  QListWidget* LanguageList;
  QCheckBox* chkShowOnStartup;
  QPushButton* OkButton;

 private:
  LanguageSelect();
  void LoadCaptions();
  void FillList();
  // Opens the machine-wide key when it can be written (creating it), else the
  // per-user one; true for the machine-wide one.
  static bool openLanguageKey(RegObj& reg);
  void applyStoredLanguage(RegObj& reg, bool machineWide);
  void OkButton_Click();
  void LanguageList_DblClick(QListWidgetItem* item);
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  bool showAtStart = true;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
