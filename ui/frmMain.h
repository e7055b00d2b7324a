#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "clsPJLOption.h"

class QAction;
class QCheckBox;
class QColor;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPalette;
class QScrollBar;
class QTabBar;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class DocListView;
class clsPJLOption;
class clsPJLOptionSet;
namespace MLRuntime {
class RuntimeSupport;
}

// The application's main window: the job options, the document list of the
// current job and the option pages that edit the selected rows.
class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  // Twips per pixel, fixed.
  static constexpr int TwipsPerPixel = 15;
  static constexpr int MinWidthTwips = 8500;
  static constexpr int MinHeightTwips = 9195;
  // The tab strip with its pages, and the print button, as designed (pixels).
  static constexpr int StripWidth = 551;
  static constexpr int StripHeight = 196;
  static constexpr int PictSize = 52;
  // The key of the document-defaults row.
  static inline const QString DefaultRowKey = QStringLiteral("DEF");

  // Builds and loads the window for gJob (hidden).
  frmMain();
  ~frmMain() override;

  // The job named a ticket that could not be loaded when the window loaded.
  bool ticketFailed() const { return ticketFailed_; }

  // Job options frame.
  QGroupBox* frameJobOpts;
  QComboBox* cboPrinter;
  QLineEdit* txtJobName;
  QLineEdit* txtCopies;
  QScrollBar* vsCopies;
  QLineEdit* txtPriority;
  QScrollBar* vsPriority;
  QComboBox* cboCollate;
  QCheckBox* chkHold;
  QCheckBox* chkAcct;
  QLineEdit* txtAcct;
  QLineEdit* txtAcctUser;

  // Document list.
  QLabel* lblDocs;
  DocListView* lvDocs;

  // Option pages.
  QTabBar* tsOpts;
  QList<QFrame*> frameTabs;
  QLineEdit* txtDocCopies;
  QScrollBar* vsDocCopies;
  QComboBox* cboSize;
  QComboBox* cboScale;
  QComboBox* cboMedia;
  QCheckBox* chkLineScale;
  QCheckBox* chkFinishing;
  QComboBox* cboFinProg;
  QComboBox* cboTitle;
  QCheckBox* chkIntTitle;
  QCheckBox* chkLabel;
  QLineEdit* txtLabelText;
  QComboBox* cboFont;
  QComboBox* cboShading;
  QComboBox* cboLabelRot;
  QComboBox* cboLabelSize;
  QComboBox* cboLabelX;
  QComboBox* cboLabelY;
  QLabel* lblLabelUnitsX;
  QLabel* lblLabelUnitsY;
  QComboBox* cboSource;
  QComboBox* cboJustX;
  QComboBox* cboJustY;
  QLabel* lblJustUnitsX;
  QLabel* lblJustUnitsY;
  QCheckBox* chkMirrorX;
  QCheckBox* chkMirrorY;
  QComboBox* cboRotate;
  QToolButton* pictCopy;

  // Menus and toolbar; their commands are connected by the commands' own code.
  QMenu* mnuFile;
  QAction* mnuFileNew;
  QAction* mnuFileOpen;
  QAction* mnuFileSave;
  QAction* mnuFileSaveAs;
  QAction* mnuFilePrint;
  QAction* mnuFileSettings;
  QAction* mnuFileExit;
  QMenu* mnuEdit;
  QAction* mnuEditCut;
  QAction* mnuEditCopy;
  QAction* mnuEditPaste;
  QAction* mnuEditCopyoptions;
  QAction* mnuEditPasteoptions;
  QAction* mnuEditInsert;
  QAction* mnuEditDelete;
  QAction* mnuEditView;
  QMenu* mnuHelp;
  QAction* mnuChangeLang;
  QAction* mnuHelpSep1;
  QAction* mnuHelpAbout;
  QToolBar* tbMain;

  // Job to controls.
  void RefreshFromJob();
  void FillUnsetOptions(clsPJLOptionSet& opts);
  void ShowOptions(clsPJLOptionSet& opts);
  void UpdateRow(QTreeWidgetItem* item, clsPJLOptionSet& opts);
  void RefreshPrinterAndLists();
  void ShowSelectedOptions();
  void LoadCaptions();

  // Option controls to the selected rows.
  void ApplyOption(const QString& tag, const QString& text);

  // Document list.
  void lvDocs_Click();

  // Runs the validation of the control that has the focus, so that a typed
  // value is stored before a command acts.
  void commitFocusedEditor();

  // The option set a row stands for; nullptr for a row whose document is gone.
  clsPJLOptionSet* rowOptions(const QTreeWidgetItem* item) const;
  static QString rowKey(const QTreeWidgetItem* item);
  // The colour of a value that is mixed among the selected rows, from the palette.
  static QColor mixedColour(const QPalette& palette);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Building.
  void buildMenus();
  void buildToolbar();
  void buildJobFrame(QWidget* parent);
  void buildDocList(QWidget* parent);
  void buildOptionPages(QWidget* parent);
  QFrame* buildGeneralPage();
  QFrame* buildFinishingPage();
  QFrame* buildLabellingPage();
  QFrame* buildAdvancedPage();
  void connectJobControls();
  void connectOptionControls();
  QLabel* label(const QString& name, QWidget* parent);
  QComboBox* combo(const QString& name, const QString& tag, bool editable, QWidget* parent);
  QCheckBox* checkBox(const QString& name, const QString& tag, QWidget* parent);
  QLineEdit* textBox(const QString& name, const QString& tag, QWidget* parent);
  QScrollBar* spinner(const QString& name, int minimum, int maximum, int value, QWidget* parent);
  // `validate` runs when the focus leaves `control` and before every command.
  void onValidate(QWidget* control, std::function<void()> validate);

  // Load, close and layout.
  void Form_Load();
  void restoreGeometry();
  // Widens every column whose header text does not fit; wider columns stay.
  void fitColumnsToHeaders();
  void widenColumn(int column, int needed);
  void layoutControls();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);
  void showJobOption(QWidget* control);
  void fillOptionList(QComboBox* box);
  QString windowKey() const;

  // The controls of the option pages in the order the job-to-controls routines visit them.
  QList<QWidget*> documentControls() const;
  static QString tagOf(const QWidget* control);

  // Option controls.
  // A number as the window writes it: "." and no grouping.
  static QString numberText(double value);
  static bool isPositionTag(const QString& tag);
  // The option's value is its definition's default, in any letter case.
  static bool holdsDefault(clsPJLOption& option);
  // Shows a value that is mixed among the selected rows on the mixed colour.
  static void setMixedLook(QWidget* control, bool mixed);
  // The entry a freshly filled list shows: the one holding the option's default, else the first.
  static void selectDefaultEntry(QComboBox* box, clsPJLOption& option);
  // A list-only combo shows `text`: its entry, or an entry of its own at the top
  // when the list lacks it (a stored value the printer does not offer).
  static void showStoredEntry(QComboBox* box, const QString& text);
  // The combo shows such an entry of its own.
  static bool isStoredOnly(const QComboBox* box);
  QLabel* unitLabelOf(const QComboBox* box) const;
  void storeJobOption(QWidget* control);
  void spinnerValidate(QLineEdit* text, QScrollBar* bar, int resetValue, const std::function<void()>& store);
  void spinnerChange(QLineEdit* text, QScrollBar* bar);
  // The scroll bar takes the number shown, quietly, so an arrow click counts on from it.
  static void followSpinner(QLineEdit* text, QScrollBar* bar);
  // The scroll value for the number in the text; nothing when it lies outside the bar's range.
  static std::optional<int> spinnerValue(QLineEdit* text, QScrollBar* bar);
  void txtDocCopies_Change();
  void applyText(QWidget* control);
  void cboScale_Validate();
  void positionUnits(QComboBox* box);
  void positionValidate(QComboBox* box);
  void chkMirror_Validate();
  void cboPrinter_Click();
  void chkHold_Click();
  void chkAcct_Click();
  void chkFinishing_Click();
  void chkLabel_Click();
  void tsOpts_Click();
  // The show/hide part of the three group boxes, run whenever the window fills itself.
  void showGroups();

  // Document list.
  void lvDocs_KeyUp(int key, Qt::KeyboardModifiers modifiers);
  void lvDocs_RightButtonUp(const QPoint& globalPos);
  QMimeData* lvDocs_StartDrag(const QList<QTreeWidgetItem*>& items);
  Qt::DropAction lvDocs_DragOver(const QMimeData* data, bool ownRows) const;
  void lvDocs_Drop(const QMimeData* data, const QPoint& pos, bool ownRows);
  qint32 dropPosition(const QPoint& pos) const;
  QTreeWidgetItem* addRow(const QString& key, const QString& text);

  // One working option per name, reused for the defaults and shown values of many rows.
  clsPJLOption& scratch(const QString& tag);

  std::map<QString, std::unique_ptr<clsPJLOption>> scratch_;
  QWidget* central_;
  QFrame* stripPanel_;
  QList<QAction*> toolButtons_;
  QHash<QWidget*, std::function<void()>> validators_;

  bool busy_ = false;
  bool ticketFailed_ = false;
  bool refreshGuard_ = false;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;
};
