#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>

class QAction;
class clsDocument;
class clsPJLOptionSet;
class frmMain;

// The main window's commands: the File, Edit and Help menus, the toolbar, the
// print button, the clipboard and the file dialogs. It lives as long as its window.
class frmMainCommands : public QObject {
  Q_OBJECT
 public:
  explicit frmMainCommands(frmMain* window);
  ~frmMainCommands() override;

  // The window's commands, created with it.
  static frmMainCommands* of(const frmMain* window);

  void mnuFile_Click();
  void mnuFileNew_Click();
  void mnuFileOpen_Click();
  void mnuFileSave_Click();
  void mnuFileSaveAs_Click();
  void mnuFilePrint_Click();
  void mnuFileSettings_Click();
  void mnuFileExit_Click();
  void mnuEdit_Click();
  void mnuEditCut_Click();
  void mnuEditCopy_Click();
  void mnuEditPaste_Click();
  void mnuEditCopyoptions_Click();
  void mnuEditPasteoptions_Click();
  void mnuEditInsert_Click();
  void mnuEditDelete_Click();
  void mnuEditView_Click();
  void mnuChangeLang_Click();
  void mnuHelpAbout_Click();
  // The toolbar: the button's key names the menu item it runs.
  void tbMain_ButtonClick(QAction* button);

  // Selected rows of the document list; the Default row only when asked.
  qint32 CountSelected(bool includeDefault) const;
  // Where pasted or inserted documents go: before that document's id, or -1 for the end.
  qint32 insertPosition() const;

 private:
  void connectCommands();
  // The ids of the selected document rows, in list order.
  QList<qint32> selectedDocIds() const;
  void placeMarker(const QString& format);
  bool clipboardOffers(const QString& format) const;
  void showFailure(int textId, int titleId);

  frmMain* window_;
  QList<std::shared_ptr<clsDocument>> copiedDocs;
  std::unique_ptr<clsPJLOptionSet> copiedOptions;
};
