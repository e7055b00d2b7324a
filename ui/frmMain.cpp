#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "DocListView.h"
#include "MLRuntime.h"
#include "MlStringModule.h"
#include "ProgramIcons.h"
#include "RegObj.h"
#include "clsJob.h"
#include "clsPJLOption.h"
#include "clsSettings.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"
#include "modPJLOpts.h"
#include "modRCF.h"

namespace {

constexpr int kMargin = 8;
constexpr int kFrameTop = 4;
constexpr int kFrameHeight = 196;
constexpr int kStripWidth = frmMain::StripWidth;
constexpr int kStripHeight = frmMain::StripHeight;
constexpr int kPictSize = frmMain::PictSize;
constexpr int kColumnCount = 7;

constexpr int twips(int pixels) { return pixels * frmMain::TwipsPerPixel; }
constexpr int pixels(int twipsValue) { return twipsValue / frmMain::TwipsPerPixel; }

// The caption ids of LoadCaptions, by control name.
struct Caption {
  const char* control;
  int id;
};
constexpr Caption kCaptions[] = {
    {"chkAcct", 38},
    {"chkFinishing", 12},
    {"chkIntTitle", 13},
    {"chkLabel", 2},
    {"chkLineScale", 16},
    {"chkMirrorX", 9},
    {"chkMirrorY", 10},
    {"frameJobOpts", 37},
    {"lblAcct", 40},
    {"lblAcctUser", 41},
    {"lblColate", 42},
    {"lblCopies", 22},
    {"lblDocCopies", 145},
    {"lblDocs", 49},
    {"lblFinProg", 15},
    {"lblFont", 4},
    {"lblJobName", 141},
    {"lblJustify", 19},
    {"lblLabelRot", 7},
    {"lblLabelSize", 11},
    {"lblLabelText", 5},
    {"lblLabelX", 9},
    {"lblLabelY", 10},
    {"lblLocation", 8},
    {"lblMedia", 21},
    {"lblMediaSource", 20},
    {"lblMirror", 18},
    {"lblPrinter", 39},
    {"lblRotate", 7},
    {"lblScale", 23},
    {"lblShading", 6},
    {"lblSize", 11},
    {"lblTitle", 14},
    {"lblX", 9},
    {"lblY", 10},
    {"mnuFileNew", 51},
    {"mnuFileOpen", 52},
    {"mnuFileSave", 53},
    {"mnuFileSaveAs", 54},
    {"mnuFilePrint", 56},
    {"mnuFileSettings", 57},
    {"mnuFileExit", 58},
    {"mnuEditCut", 60},
    {"mnuEditCopy", 61},
    {"mnuEditPaste", 62},
    {"mnuEditCopyoptions", 63},
    {"mnuEditPasteoptions", 64},
    {"mnuEditInsert", 65},
    {"mnuEditDelete", 66},
    {"mnuEditView", 67},
    {"mnuChangeLang", 146},
    {"mnuHelpSep1", 55},
    {"mnuHelpAbout", 85},
};
constexpr int kColumnCaptions[kColumnCount] = {44, 98, 46, 47, 99, 100, 48};
// The option each column after the first shows.
const QString kColumnTags[kColumnCount] = {QString(),
                                           QStringLiteral("DOCCOPIES"),
                                           QStringLiteral("PAPER"),
                                           QStringLiteral("PAGESCALING"),
                                           QStringLiteral("MEDIANAME"),
                                           QStringLiteral("FINISHPROGID"),
                                           QStringLiteral("LABELSTRING")};
constexpr int kTabCaptions[] = {34, 35, 36, 83};
// The toolbar's buttons by key, with their tooltip ids; an empty key is a gap.
struct ToolButton {
  const char* key;
  int tooltip;
};
constexpr ToolButton kToolButtons[] = {
    {"New", 24},  {"Open", 25},  {"Save", 26}, {"", 0},        {"Print", 27},  {"", 0}, {"Cut", 28},
    {"Copy", 29}, {"Paste", 30}, {"", 0},      {"Insert", 31}, {"Delete", 32}, {"", 0}, {"View", 33},
};

// Marks the entry of a list-only combo that stands for a stored value its list lacks.
constexpr int kStoredOnlyRole = Qt::UserRole + 1;

void dropStoredOnlyEntry(QComboBox* box) {
  if (box->count() > 0 && box->itemData(0, kStoredOnlyRole).toBool()) box->removeItem(0);
}

bool isTrueWord(const QString& value) {
  const QString word = QString(value).remove('"').trimmed().toUpper();
  return word == QLatin1String("YES") || word == QLatin1String("ON") || word == QLatin1String("TRUE");
}

// A list-only combo selects the entry shown exactly as `text`; false when none is.
bool selectEntry(QComboBox* box, const QString& text) {
  const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index >= 0) box->setCurrentIndex(index);
  return index >= 0;
}

}  // namespace

QString frmMain::numberText(double value) { return QString::number(value, 'g', 15); }

bool frmMain::holdsDefault(clsPJLOption& option) {
  return option.value().compare(option.Default(), Qt::CaseInsensitive) == 0;
}

bool frmMain::isPositionTag(const QString& tag) {
  const QString upper = tag.toUpper();
  return upper == QLatin1String("JUSTIFYX") || upper == QLatin1String("JUSTIFYY") ||
         upper == QLatin1String("LABELLOCX") || upper == QLatin1String("LABELLOCY");
}

// The palette's shade beside the background that is plainly apart from it:
// a darker one on a light background, a lighter one on a dark background.
QColor frmMain::mixedColour(const QPalette& palette) {
  const bool light = palette.color(QPalette::Base).lightness() >= 128;
  return palette.color(light ? QPalette::Mid : QPalette::Light);
}

// A drop-down list is painted in the button colour, so it takes the window
// background when its value is not mixed.
void frmMain::setMixedLook(QWidget* control, bool mixed) {
  QPalette palette = QApplication::palette(control);
  const QColor face = mixedColour(palette);
  const QColor background = palette.color(QPalette::Base);
  const auto* box = qobject_cast<QComboBox*>(control);
  if (box && !box->isEditable()) palette.setColor(QPalette::Button, mixed ? face : background);
  palette.setColor(QPalette::Base, mixed ? face : background);
  control->setPalette(palette);
}

bool frmMain::isStoredOnly(const QComboBox* box) {
  return box->currentIndex() == 0 && box->itemData(0, kStoredOnlyRole).toBool();
}

void frmMain::showStoredEntry(QComboBox* box, const QString& text) {
  dropStoredOnlyEntry(box);
  if (selectEntry(box, text)) return;
  box->insertItem(0, text);
  box->setItemData(0, true, kStoredOnlyRole);
  box->setCurrentIndex(0);
}

void frmMain::selectDefaultEntry(QComboBox* box, clsPJLOption& option) {
  dropStoredOnlyEntry(box);
  const QString uiDefault = option.uiDefault();
  if (!uiDefault.isEmpty()) {
    for (int i = 0; i < box->count(); ++i) {
      if (box->itemText(i).contains(uiDefault, Qt::CaseInsensitive)) {
        box->setCurrentIndex(i);
        return;
      }
    }
  }
  if (box->count() > 0) box->setCurrentIndex(0);
}

frmMain::frmMain() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowIcon(ProgramIcons::application());
  central_ = new QWidget(this);
  setCentralWidget(central_);
  buildMenus();
  buildToolbar();
  buildJobFrame(central_);
  buildDocList(central_);
  buildOptionPages(central_);
  connectJobControls();
  connectOptionControls();
  setMinimumSize(pixels(MinWidthTwips), pixels(MinHeightTwips));
  Form_Load();
}

frmMain::~frmMain() = default;

QString frmMain::tagOf(const QWidget* control) { return control->property("Tag").toString(); }

QLabel* frmMain::label(const QString& name, QWidget* parent) {
  auto* caption = new QLabel(parent);
  caption->setObjectName(name);
  return caption;
}

QComboBox* frmMain::combo(const QString& name, const QString& tag, bool editable, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setProperty("Tag", tag);
  box->setEditable(editable);
  if (editable) {
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
  }
  return box;
}

QCheckBox* frmMain::checkBox(const QString& name, const QString& tag, QWidget* parent) {
  auto* box = new QCheckBox(parent);
  box->setObjectName(name);
  if (!tag.isEmpty()) box->setProperty("Tag", tag);
  return box;
}

QLineEdit* frmMain::textBox(const QString& name, const QString& tag, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setProperty("Tag", tag);
  return box;
}

QScrollBar* frmMain::spinner(const QString& name, int minimum, int maximum, int value, QWidget* parent) {
  auto* bar = new QScrollBar(Qt::Vertical, parent);
  bar->setObjectName(name);
  bar->setRange(minimum, maximum);
  bar->setValue(value);
  bar->setPageStep(1);
  return bar;
}

void frmMain::onValidate(QWidget* control, std::function<void()> validate) {
  validators_.insert(control, std::move(validate));
  control->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // A menu or combo list opening, or another window, leaves the value unfinished.
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
      const auto found = validators_.constFind(static_cast<QWidget*>(watched));
      if (found != validators_.constEnd()) (*found)();
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void frmMain::commitFocusedEditor() {
  for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
    const auto found = validators_.constFind(widget);
    if (found != validators_.constEnd()) {
      (*found)();
      return;
    }
  }
}

void frmMain::buildMenus() {
  const auto menu = [this](const QString& name) {
    QMenu* created = menuBar()->addMenu(QString());
    created->setObjectName(name);
    // Whatever is typed into an option control is stored before any command of the menu.
    connect(created, &QMenu::aboutToShow, this, &frmMain::commitFocusedEditor);
    return created;
  };
  const auto item = [this](QMenu* owner, const QString& name, const QKeySequence& shortcut = {}) {
    QAction* action = owner->addAction(QString());
    action->setObjectName(name);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, &frmMain::commitFocusedEditor);
    return action;
  };
  const auto separator = [](QMenu* owner, const QString& name) {
    QAction* action = owner->addSeparator();
    action->setObjectName(name);
    return action;
  };
  mnuFile = menu(QStringLiteral("mnuFile"));
  mnuFileNew = item(mnuFile, QStringLiteral("mnuFileNew"));
  mnuFileOpen = item(mnuFile, QStringLiteral("mnuFileOpen"), QKeySequence(QStringLiteral("Ctrl+O")));
  mnuFileSave = item(mnuFile, QStringLiteral("mnuFileSave"), QKeySequence(QStringLiteral("Ctrl+S")));
  mnuFileSaveAs = item(mnuFile, QStringLiteral("mnuFileSaveAs"));
  separator(mnuFile, QStringLiteral("mnuFileSep1"));
  mnuFilePrint = item(mnuFile, QStringLiteral("mnuFilePrint"), QKeySequence(QStringLiteral("Ctrl+P")));
  separator(mnuFile, QStringLiteral("mnuFileSep3"));
  mnuFileSettings = item(mnuFile, QStringLiteral("mnuFileSettings"));
  separator(mnuFile, QStringLiteral("mnuFileSep2"));
  mnuFileExit = item(mnuFile, QStringLiteral("mnuFileExit"), QKeySequence(QStringLiteral("Ctrl+Q")));

  mnuEdit = menu(QStringLiteral("mnuEdit"));
  mnuEditCut = item(mnuEdit, QStringLiteral("mnuEditCut"), QKeySequence(QStringLiteral("Ctrl+X")));
  mnuEditCopy = item(mnuEdit, QStringLiteral("mnuEditCopy"), QKeySequence(QStringLiteral("Ctrl+C")));
  mnuEditPaste = item(mnuEdit, QStringLiteral("mnuEditPaste"), QKeySequence(QStringLiteral("Ctrl+V")));
  separator(mnuEdit, QStringLiteral("mnuEditSep1"));
  mnuEditCopyoptions = item(mnuEdit, QStringLiteral("mnuEditCopyoptions"));
  mnuEditPasteoptions = item(mnuEdit, QStringLiteral("mnuEditPasteoptions"));
  separator(mnuEdit, QStringLiteral("mnuEditSep2"));
  mnuEditInsert = item(mnuEdit, QStringLiteral("mnuEditInsert"), QKeySequence(QStringLiteral("Ctrl+I")));
  mnuEditDelete = item(mnuEdit, QStringLiteral("mnuEditDelete"), QKeySequence(QStringLiteral("Ctrl+D")));
  separator(mnuEdit, QStringLiteral("mnuEditSep3"));
  mnuEditView = item(mnuEdit, QStringLiteral("mnuEditView"), QKeySequence(Qt::Key_F2));

  mnuHelp = menu(QStringLiteral("mnuHelp"));
  mnuChangeLang = item(mnuHelp, QStringLiteral("mnuChangeLang"));
  mnuHelpSep1 = separator(mnuHelp, QStringLiteral("mnuHelpSep1"));
  mnuHelpAbout = item(mnuHelp, QStringLiteral("mnuHelpAbout"), QKeySequence(Qt::Key_F1));
}

// The buttons carry their key; the commands run the menu item of that name. They are never disabled.
void frmMain::buildToolbar() {
  tbMain = addToolBar(QString());
  tbMain->setObjectName(QStringLiteral("tbMain"));
  tbMain->setMovable(false);
  for (const ToolButton& button : kToolButtons) {
    const QString key = QString::fromLatin1(button.key);
    if (key.isEmpty()) {
      toolButtons_.append(tbMain->addSeparator());
      continue;
    }
    QAction* action = tbMain->addAction(ProgramIcons::picture(key), key);
    action->setObjectName(QStringLiteral("tbMain") + key);
    action->setData(key);
    toolButtons_.append(action);
  }
}

void frmMain::buildJobFrame(QWidget* parent) {
  frameJobOpts = new QGroupBox(parent);
  frameJobOpts->setObjectName(QStringLiteral("frameJobOpts"));
  QWidget* f = frameJobOpts;
  const int labelLeft = 10;
  const int fieldLeft = 100;
  const int secondLabel = 320;
  const int secondField = 410;
  const int rows[] = {22, 51, 80, 109, 138, 167};
  const auto place = [](QWidget* w, int x, int y, int width) { w->setGeometry(x, y, width, 24); };

  place(label(QStringLiteral("lblPrinter"), f), labelLeft, rows[0], fieldLeft - labelLeft - 4);
  cboPrinter = combo(QStringLiteral("cboPrinter"), QStringLiteral("JOBPRINTER"), false, f);
  place(cboPrinter, fieldLeft, rows[0], 210);
  place(label(QStringLiteral("lblCopies"), f), secondLabel, rows[0], secondField - secondLabel - 4);
  txtCopies = textBox(QStringLiteral("txtCopies"), QStringLiteral("COPIES"), f);
  txtCopies->setText(QStringLiteral("1"));
  place(txtCopies, secondField, rows[0], 50);
  vsCopies = spinner(QStringLiteral("vsCopies"), 1, 999, 999, f);
  place(vsCopies, secondField + 50, rows[0], 17);

  place(label(QStringLiteral("lblJobName"), f), labelLeft, rows[1], fieldLeft - labelLeft - 4);
  txtJobName = textBox(QStringLiteral("txtJobName"), QStringLiteral("NAME"), f);
  place(txtJobName, fieldLeft, rows[1], 300);

  place(label(QStringLiteral("lblColate"), f), labelLeft, rows[2], fieldLeft - labelLeft - 4);
  cboCollate = combo(QStringLiteral("cboCollate"), QStringLiteral("COLLATIONENABLE"), false, f);
  place(cboCollate, fieldLeft, rows[2], 120);
  QLabel* lblPriority = label(QStringLiteral("lblPriority"), f);
  lblPriority->setText(QStringLiteral("Priority:"));
  place(lblPriority, secondLabel, rows[2], secondField - secondLabel - 4);
  txtPriority = textBox(QStringLiteral("txtPriority"), QStringLiteral("PRIORITY"), f);
  txtPriority->setText(QStringLiteral("5"));
  place(txtPriority, secondField, rows[2], 50);
  vsPriority = spinner(QStringLiteral("vsPriority"), 990, 999, 995, f);
  place(vsPriority, secondField + 50, rows[2], 17);

  chkHold = checkBox(QStringLiteral("chkHold"), QStringLiteral("HOLDRELEASE"), f);
  chkHold->setText(QStringLiteral("Hold"));
  place(chkHold, fieldLeft, rows[3], 200);
  chkAcct = checkBox(QStringLiteral("chkAcct"), QString(), f);
  place(chkAcct, secondLabel, rows[3], 220);

  place(label(QStringLiteral("lblAcct"), f), labelLeft, rows[4], fieldLeft - labelLeft - 4);
  txtAcct = textBox(QStringLiteral("txtAcct"), QStringLiteral("ACCT_ACCTID"), f);
  place(txtAcct, fieldLeft, rows[4], 300);
  place(label(QStringLiteral("lblAcctUser"), f), labelLeft, rows[5], fieldLeft - labelLeft - 4);
  txtAcctUser = textBox(QStringLiteral("txtAcctUser"), QStringLiteral("ACCT_USERID"), f);
  place(txtAcctUser, fieldLeft, rows[5], 300);
  frameJobOpts->setGeometry(kMargin, kFrameTop, kStripWidth, kFrameHeight);
}

void frmMain::buildDocList(QWidget* parent) {
  lblDocs = label(QStringLiteral("lblDocs"), parent);
  lblDocs->setGeometry(kMargin, kFrameTop + kFrameHeight + 4, 300, 18);
  lvDocs = new DocListView(parent);
  lvDocs->setObjectName(QStringLiteral("lvDocs"));
  lvDocs->setColumnCount(kColumnCount);
  lvDocs->header()->setStretchLastSection(false);
  lvDocs->header()->setSectionsMovable(false);
  // Columns start narrow and widen to show their header and values whole;
  // the first takes what the others leave.
  for (int column = 0; column < kColumnCount; ++column) {
    lvDocs->headerItem()->setData(column, Qt::UserRole, kColumnTags[column]);
    lvDocs->setColumnWidth(column, lvDocs->header()->minimumSectionSize());
  }
  lvDocs->setGeometry(kMargin, lblDocs->geometry().bottom() + 2, kStripWidth, 150);
  lvDocs->onClick = [this] { lvDocs_Click(); };
  lvDocs->onKeyUp = [this](int key, Qt::KeyboardModifiers modifiers) { lvDocs_KeyUp(key, modifiers); };
  lvDocs->onRightButtonUp = [this](const QPoint& pos) { lvDocs_RightButtonUp(pos); };
  lvDocs->onStartDrag = [this](const QList<QTreeWidgetItem*>& items) { return lvDocs_StartDrag(items); };
  lvDocs->onDragOver = [this](const QMimeData* data, bool ownRows) { return lvDocs_DragOver(data, ownRows); };
  lvDocs->onDrop = [this](const QMimeData* data, const QPoint& pos, bool ownRows) {
    lvDocs_Drop(data, pos, ownRows);
  };
}

// Load: size, column widths, lists, the ticket named for the job, the rows.
void frmMain::Form_Load() {
  ml_RuntimeSupport = std::make_unique<MLRuntime::RuntimeSupport>();
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &frmMain::ml_RuntimeSupport_LanguageChanged);
  LoadCaptions();
  resize(pixels(MinWidthTwips), pixels(MinHeightTwips));
  restoreGeometry();
  RefreshPrinterAndLists();
  const bool ticket = gJob && !gJob->kvtFile.isEmpty();
  if (ticket) ticketFailed_ = !gJob->loadFromKVT();
  RefreshFromJob();
  if (ticket) {
    RefreshPrinterAndLists();
    lvDocs_Click();
  }
}

QString frmMain::windowKey() const { return gRegRoot + QStringLiteral("Window"); }

void frmMain::restoreGeometry() {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(windowKey());
  resize(pixels(reg.value(QStringLiteral("width")).toInt()),
         pixels(reg.value(QStringLiteral("height")).toInt()));
  for (int column = 0; column < kColumnCount; ++column) {
    const int stored = reg.value(QStringLiteral("col_") + QString::number(column + 1)).toInt();
    if (stored > 100) lvDocs->setColumnWidth(column, pixels(stored));
  }
  fitColumnsToHeaders();
}

// Each language has headers of its own lengths.
void frmMain::fitColumnsToHeaders() {
  for (int column = 1; column < kColumnCount; ++column)
    widenColumn(column, lvDocs->header()->sectionSizeHint(column));
  layoutControls();
}

// A column after the first never cuts its header or a value; the first gives way.
void frmMain::widenColumn(int column, int needed) {
  if (needed <= lvDocs->columnWidth(column)) return;
  lvDocs->setColumnWidth(column, needed);
  layoutControls();
}

// Closing stores the size (only of a normal window) and the column widths, and ends the program.
void frmMain::closeEvent(QCloseEvent* event) {
  RegObj reg;
  reg.setRoot(HKEY_CURRENT_USER);
  reg.setKey(windowKey());
  if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
    reg.setValue(QStringLiteral("width"), twips(width()));
    reg.setValue(QStringLiteral("height"), twips(height()));
  }
  for (int column = 0; column < kColumnCount; ++column)
    reg.setValue(QStringLiteral("col_") + QString::number(column + 1), twips(lvDocs->columnWidth(column)));
  event->accept();
  ml_RuntimeSupport.reset();
  QCoreApplication::quit();
}

void frmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!isMinimized()) layoutControls();
}

// The relations that resizing keeps; the minimum size is the window's own.
void frmMain::layoutControls() {
  const int innerWidth = central_->width();
  const int innerHeight = central_->height();
  frameJobOpts->resize(innerWidth - 2 * frameJobOpts->x(), frameJobOpts->height());
  const int labelLeft = findChild<QLabel*>(QStringLiteral("lblJobName"))->x();
  for (QLineEdit* box : {txtJobName, txtAcctUser, txtAcct})
    box->resize(frameJobOpts->width() - box->x() - labelLeft, box->height());
  lvDocs->resize(innerWidth - 2 * lvDocs->x(), innerHeight - lvDocs->y() - kStripHeight - pixels(200));
  const int stripTop = lvDocs->geometry().bottom() + 1 + pixels(100);
  tsOpts->move(lvDocs->x(), stripTop);
  stripPanel_->move(lvDocs->x(), stripTop + tsOpts->height() - 1);
  for (QFrame* page : frameTabs) page->move(lvDocs->x() + pixels(120), stripTop + pixels(360));
  int others = 0;
  for (int column = 1; column < kColumnCount; ++column) others += lvDocs->columnWidth(column);
  lvDocs->setColumnWidth(0, std::max({lvDocs->width() - pixels(400) - others, pixels(1000) + 1,
                                      lvDocs->header()->sectionSizeHint(0)}));
  pictCopy->move(lvDocs->x() + kStripWidth - kPictSize - pixels(100),
                 stripTop + kStripHeight - kPictSize - pixels(100));
}

void frmMain::LoadCaptions() {
  for (const Caption& caption : kCaptions) {
    const QString text = GetResString(caption.id);
    QObject* control = findChild<QObject*>(QString::fromLatin1(caption.control));
    if (auto* action = qobject_cast<QAction*>(control)) {
      // A caption of "-" is what makes a menu item a separator: it shows no text.
      action->setText(text == QLatin1String("-") ? QString() : text);
    } else if (auto* labelControl = qobject_cast<QLabel*>(control)) {
      labelControl->setText(text);
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
      box->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      group->setTitle(text);
    }
  }
  mnuFile->setTitle(GetResString(50));
  mnuEdit->setTitle(GetResString(59));
  mnuHelp->setTitle(GetResString(84));
  for (int column = 0; column < kColumnCount; ++column)
    lvDocs->headerItem()->setText(column, GetResString(kColumnCaptions[column]));
  for (QAction* button : toolButtons_) {
    if (button->isSeparator()) continue;
    const QString key = button->data().toString();
    for (const ToolButton& known : kToolButtons)
      if (key == QLatin1String(known.key)) button->setToolTip(GetResString(known.tooltip));
  }
  for (int tab = 0; tab < tsOpts->count(); ++tab) tsOpts->setTabText(tab, GetResString(kTabCaptions[tab]));
  fitColumnsToHeaders();
}

// A new language: captions, the definitions in that language, and the lists
// and rows that show their names.
void frmMain::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
  LoadCaptions();
  modPJLOpts::Initialise(true);
  // The working options took their lists from the old definitions.
  scratch_.clear();
  for (int index = 0; index < lvDocs->topLevelItemCount(); ++index) {
    QTreeWidgetItem* item = lvDocs->topLevelItem(index);
    if (clsPJLOptionSet* opts = rowOptions(item)) UpdateRow(item, *opts);
  }
  RefreshPrinterAndLists();
  lvDocs_Click();
}

// One job-level control shows the job's value, or the option's default, which
// the job then holds too.
void frmMain::showJobOption(QWidget* control) {
  const QString tag = tagOf(control);
  clsPJLOption option;
  option.name = tag;
  const QVariant stored = gJob->jobOpts->pjlOpt(tag);
  if (stored.isValid()) {
    option.setValue(stored.toString());
  } else if (tag == QLatin1String("JOBPRINTER")) {
    option.setValue(gJob->printerName);
  } else {
    const QString fallback = option.Default();
    option.setValue(fallback);
    gJob->jobOpts->setPjlOpt(tag, fallback);
  }
  const QString shown = option.uiValue();
  const QSignalBlocker blocker(control);
  if (auto* box = qobject_cast<QComboBox*>(control)) {
    if (box->isEditable())
      box->setEditText(shown);
    else
      selectEntry(box, shown);
  } else if (auto* text = qobject_cast<QLineEdit*>(control)) {
    text->setText(shown);
  }
}

void frmMain::RefreshFromJob() {
  if (!gJob) return;
  for (QWidget* control : {static_cast<QWidget*>(txtCopies), static_cast<QWidget*>(txtPriority),
                           static_cast<QWidget*>(cboCollate), static_cast<QWidget*>(cboPrinter),
                           static_cast<QWidget*>(txtAcct), static_cast<QWidget*>(txtAcctUser)})
    showJobOption(control);
  followSpinner(txtCopies, vsCopies);
  followSpinner(txtPriority, vsPriority);
  {
    const QSignalBlocker acct(chkAcct);
    chkAcct->setChecked(!txtAcct->text().isEmpty() || !txtAcctUser->text().isEmpty());
    clsPJLOption hold;
    hold.name = tagOf(chkHold);
    const QString holdValue = gJob->jobOpts->pjlOpt(hold.name, hold.Default()).toString();
    const QSignalBlocker holdBlocker(chkHold);
    chkHold->setChecked(holdValue == QLatin1String("HOLD"));
  }
  showGroups();

  FillUnsetOptions(*gJob->docDefaults);
  lvDocs->clear();
  QTreeWidgetItem* defaults = addRow(DefaultRowKey, QStringLiteral("<Default> "));
  UpdateRow(defaults, *gJob->docDefaults);
  QList<QTreeWidgetItem*> rows;
  for (const auto& entry : gJob->docs()) {
    clsDocument& document = *entry.second;
    FillUnsetOptions(*document.opts);
    const QString name = GetFileName(document.fileName);
    QTreeWidgetItem* row = addRow(QStringLiteral("x") + QString::number(document.id), name);
    UpdateRow(row, *document.opts);
    if (gJob->jobName.isEmpty()) gJob->jobName = name;
  }
  // As the platform's list does, the first row added is the selected one.
  defaults->setSelected(true);
  lvDocs->setCurrentItem(defaults, 0, QItemSelectionModel::NoUpdate);
  lvDocs_Click();
  txtJobName->setText(gJob->jobName);
}

clsPJLOption& frmMain::scratch(const QString& tag) {
  std::unique_ptr<clsPJLOption>& option = scratch_[tag];
  if (!option) {
    option = std::make_unique<clsPJLOption>();
    option->name = tag;
  }
  return *option;
}

void frmMain::FillUnsetOptions(clsPJLOptionSet& opts) {
  for (QWidget* control : documentControls()) {
    if (control == chkMirrorY) continue;
    const QString tag = tagOf(control);
    if (!opts.pjlOpt(tag).isValid()) opts.setPjlOpt(tag, scratch(tag).Default());
  }
}

void frmMain::ShowOptions(clsPJLOptionSet& opts) {
  for (QWidget* control : documentControls()) {
    const QString tag = tagOf(control);
    const QVariant stored = opts.pjlOpt(tag);
    const bool absent = !stored.isValid();
    const QString value = stored.toString();
    clsPJLOption option;
    option.name = tag;
    const QSignalBlocker blocker(control);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      if (absent) {
        box->setCheckState(Qt::PartiallyChecked);
      } else {
        box->setTristate(false);
        const bool mirror = tag.toUpper() == QLatin1String("MIRRORIMAGE");
        box->setChecked(mirror ? value.toUpper().contains(box->objectName().right(1)) : isTrueWord(value));
      }
      continue;
    }
    setMixedLook(control, absent);
    if (tag == QLatin1String("FINISHPROGID")) {
      chkFinishing->setChecked(absent || value != option.Default());
    } else if (tag == QLatin1String("LABELSTRING")) {
      if (!absent) option.setValue(value);
      chkLabel->setChecked(absent || !option.uiValue().isEmpty());
    }
    if (absent) continue;
    option.setValue(value);
    const QString shown = option.uiValue();
    if (auto* text = qobject_cast<QLineEdit*>(control)) {
      text->setText(shown);
      continue;
    }
    auto* box = qobject_cast<QComboBox*>(control);
    if (box->isEditable()) {
      const double number = modRCF::numericValue(value);
      const bool distance = isPositionTag(tag) && number > 0 && gSettings;
      box->setEditText(distance ? numberText(gSettings->units.userUnits(modRCF::numericValue(shown)))
                                : shown);
      continue;
    }
    // A value the list does not offer: a row's own set, shown again after a printer
    // change, takes the entry a fresh list shows instead, except the option's default
    // (any paper, no finishing), which suits every printer. A value that stays is
    // shown as it is, never as another entry.
    showStoredEntry(box, shown);
    if (!isStoredOnly(box)) {
      option.setUiValue(box->currentText());
    } else if (busy_ && !holdsDefault(option)) {
      selectDefaultEntry(box, option);
      if (box->currentIndex() < 0) continue;
      option.setUiValue(box->currentText());
    } else {
      continue;
    }
    opts.setPjlOpt(tag, option.value());
  }
  followSpinner(txtDocCopies, vsDocCopies);
  showGroups();
  for (QComboBox* box : {cboJustX, cboJustY, cboLabelX, cboLabelY}) positionUnits(box);
}

void frmMain::UpdateRow(QTreeWidgetItem* item, clsPJLOptionSet& opts) {
  for (int column = 1; column < kColumnCount; ++column) {
    const QString tag = lvDocs->headerItem()->data(column, Qt::UserRole).toString();
    clsPJLOption& option = scratch(tag);
    option.setValue(opts.pjlOpt(tag, option.Default()).toString());
    QString text;
    if (tag == QLatin1String("FINISHPROGID"))
      text = GetResString(holdsDefault(option) ? 142 : 143);
    else if (tag == QLatin1String("LABELSTRING"))
      text = GetResString(option.uiValue().isEmpty() ? 142 : 143);
    else
      text = option.uiValue();
    item->setText(column, text);
    widenColumn(column, lvDocs->cellWidth(item, column));
  }
  const QString key = rowKey(item);
  if (key == DefaultRowKey) return;
  const clsDocument* document = gJob->document(key.mid(1).toInt());
  item->setIcon(0, document && document->skip ? ProgramIcons::picture(QStringLiteral("Skip")) : QIcon());
}

void frmMain::fillOptionList(QComboBox* box) {
  clsPJLOption option;
  option.name = tagOf(box);
  const QString remembered = box->currentText();
  const QSignalBlocker blocker(box);
  box->clear();
  for (const auto& entry : option.possibleUIValues())
    if (!entry.second.isEmpty()) box->addItem(entry.second);
  if (box->count() > 0) box->setCurrentIndex(0);
  if (!remembered.isEmpty() && box->isEditable() && !option.listOnly()) {
    box->setEditText(remembered);
    return;
  }
  if (!remembered.isEmpty() && selectEntry(box, remembered)) return;
  selectDefaultEntry(box, option);
}

void frmMain::RefreshPrinterAndLists() {
  if (refreshGuard_ || !gJob) return;
  refreshGuard_ = true;
  QString caption = ProgramFileDescription();
  const QString ticket = GetBaseName(gJob->kvtFile);
  if (!ticket.isEmpty()) caption += QStringLiteral(" - ") + ticket;
  setWindowTitle(caption);
  showGroups();
  tsOpts_Click();
  {
    const QString remembered = gJob->printerName;
    const QSignalBlocker blocker(cboPrinter);
    cboPrinter->clear();
    if (gSettings) cboPrinter->addItems(gSettings->printers.names());
    if (cboPrinter->count() > 0) cboPrinter->setCurrentIndex(0);
    // The job prints on the printer the combo shows.
    if (!selectEntry(cboPrinter, remembered) && cboPrinter->count() > 0)
      gJob->printerName = cboPrinter->currentText();
  }
  for (QComboBox* box :
       {cboCollate, cboFinProg, cboFont, cboJustX, cboJustY, cboLabelRot, cboLabelSize, cboLabelX, cboLabelY,
        cboMedia, cboRotate, cboScale, cboShading, cboSize, cboSource, cboTitle})
    if (!tagOf(box).isEmpty()) fillOptionList(box);
  for (QComboBox* box : {cboJustX, cboJustY, cboLabelX, cboLabelY}) positionUnits(box);
  refreshGuard_ = false;
}

void frmMain::ShowSelectedOptions() {
  busy_ = true;
  for (int row = 0; row < lvDocs->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = lvDocs->topLevelItem(row);
    if (clsPJLOptionSet* opts = rowOptions(item)) {
      ShowOptions(*opts);
      UpdateRow(item, *opts);
    }
  }
  busy_ = false;
}
