#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
namespace MLRuntime {
class RuntimeSupport;
}

// The About box: product name, program version, the maker's notice and the
// legal warning, in the current interface language.
class frmAbout : public QDialog {
  Q_OBJECT
 public:
  // Takes its icon from `parent` (the main window) when there is one.
  explicit frmAbout(QWidget* parent = nullptr);
  ~frmAbout() override;

  // The program's version: major, minor and revision joined by ".".
  static QString programVersion();

  QLabel* lblName;
  QLabel* lblVersion;
  QLabel* Label2;
  QLabel* lblWarning;
  QPushButton* cmdOK;

  // Shows the box modally; where nobody can see it, it is not shown.
  int exec() override;

 private:
  void Form_Load();
  void LoadCaptions();
  // The caption routine leaves the title and the version number out; a
  // language change must not lose them.
  void completeTexts();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
