#include "frmMainCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QTreeWidget>

#include "DocListView.h"
#include "DocumentLauncher.h"
#include "DragFormats.h"
#include "FileDialog.h"
#include "LanguageSelect.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "frmAbout.h"
#include "frmMain.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"
#include "modMain.h"

namespace {

QString documentsFilter() {
  return GetResString(137) + QStringLiteral("|*.plt;*.tif;*.ps;*.pdf;*.jpg;*.tiff;*.jpeg;*.prn|") +
         GetResString(138) + QStringLiteral("|*.*");
}

QString ticketFilter() {
  return GetResString(139) + QStringLiteral("|*.kvt|") + GetResString(138) + QStringLiteral("|*.*");
}

qint32 idOfKey(const QString& key) { return key.mid(1).toInt(); }

}  // namespace

frmMainCommands::frmMainCommands(frmMain* window) : QObject(window), window_(window) {
  setObjectName(QStringLiteral("frmMainCommands"));
  connectCommands();
}

frmMainCommands::~frmMainCommands() = default;

frmMainCommands* frmMainCommands::of(const frmMain* window) {
  return window->findChild<frmMainCommands*>(QStringLiteral("frmMainCommands"), Qt::FindDirectChildrenOnly);
}

void frmMainCommands::connectCommands() {
  frmMain* w = window_;
  connect(w->mnuFile, &QMenu::aboutToShow, this, &frmMainCommands::mnuFile_Click);
  connect(w->mnuEdit, &QMenu::aboutToShow, this, &frmMainCommands::mnuEdit_Click);
  const std::pair<QAction*, void (frmMainCommands::*)()> items[] = {
      {w->mnuFileNew, &frmMainCommands::mnuFileNew_Click},
      {w->mnuFileOpen, &frmMainCommands::mnuFileOpen_Click},
      {w->mnuFileSave, &frmMainCommands::mnuFileSave_Click},
      {w->mnuFileSaveAs, &frmMainCommands::mnuFileSaveAs_Click},
      {w->mnuFilePrint, &frmMainCommands::mnuFilePrint_Click},
      {w->mnuFileSettings, &frmMainCommands::mnuFileSettings_Click},
      {w->mnuFileExit, &frmMainCommands::mnuFileExit_Click},
      {w->mnuEditCut, &frmMainCommands::mnuEditCut_Click},
      {w->mnuEditCopy, &frmMainCommands::mnuEditCopy_Click},
      {w->mnuEditPaste, &frmMainCommands::mnuEditPaste_Click},
      {w->mnuEditCopyoptions, &frmMainCommands::mnuEditCopyoptions_Click},
      {w->mnuEditPasteoptions, &frmMainCommands::mnuEditPasteoptions_Click},
      {w->mnuEditInsert, &frmMainCommands::mnuEditInsert_Click},
      {w->mnuEditDelete, &frmMainCommands::mnuEditDelete_Click},
      {w->mnuEditView, &frmMainCommands::mnuEditView_Click},
      {w->mnuChangeLang, &frmMainCommands::mnuChangeLang_Click},
      {w->mnuHelpAbout, &frmMainCommands::mnuHelpAbout_Click},
  };
  for (const auto& [action, handler] : items) connect(action, &QAction::triggered, this, handler);
  connect(w->tbMain, &QToolBar::actionTriggered, this, &frmMainCommands::tbMain_ButtonClick);
  // A double click views the document even when the Edit menu last left View disabled.
  connect(w->lvDocs, &QTreeWidget::itemDoubleClicked, this, &frmMainCommands::mnuEditView_Click);
}

// ---- selection and clipboard ----

qint32 frmMainCommands::CountSelected(bool includeDefault) const {
  qint32 count = 0;
  for (const QTreeWidgetItem* item : window_->lvDocs->selectedItems())
    if (includeDefault || frmMain::rowKey(item) != frmMain::DefaultRowKey) ++count;
  return count;
}

QList<qint32> frmMainCommands::selectedDocIds() const {
  QList<qint32> ids;
  const QTreeWidget* list = window_->lvDocs;
  for (int index = 0; index < list->topLevelItemCount(); ++index) {
    const QTreeWidgetItem* item = list->topLevelItem(index);
    const QString key = frmMain::rowKey(item);
    if (item->isSelected() && key != frmMain::DefaultRowKey) ids.append(idOfKey(key));
  }
  return ids;
}

// Before the row after the last selected one; at the end when that is the last
// row or nothing is selected.
qint32 frmMainCommands::insertPosition() const {
  const QTreeWidget* list = window_->lvDocs;
  int last = -1;
  for (int index = 0; index < list->topLevelItemCount(); ++index)
    if (list->topLevelItem(index)->isSelected()) last = index;
  if (last < 0 || last + 1 >= list->topLevelItemCount()) return -1;
  return idOfKey(frmMain::rowKey(list->topLevelItem(last + 1)));
}

// The marker alone goes on the clipboard; what was copied stays in this program.
void frmMainCommands::placeMarker(const QString& format) {
  auto* data = new QMimeData;
  data->setData(format, QByteArray());
  QGuiApplication::clipboard()->setMimeData(data);
}

bool frmMainCommands::clipboardOffers(const QString& format) const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasFormat(format);
}

void frmMainCommands::showFailure(int textId, int titleId) {
  MsgBox(GetResString(textId), MsgBoxStyle::Critical | MsgBoxStyle::OkOnly, GetResString(titleId));
}

// ---- menus opening ----

void frmMainCommands::mnuFile_Click() { window_->commitFocusedEditor(); }

void frmMainCommands::mnuEdit_Click() {
  frmMain* w = window_;
  const qint32 documents = CountSelected(false);
  w->mnuEditCut->setEnabled(documents >= 1);
  w->mnuEditCopy->setEnabled(documents > 0);
  w->mnuEditCopyoptions->setEnabled(CountSelected(true) == 1);
  w->mnuEditPaste->setEnabled(clipboardOffers(DragFormats::Files) || clipboardOffers(DragFormats::Documents));
  w->mnuEditPasteoptions->setEnabled(clipboardOffers(DragFormats::Options));
  w->mnuEditView->setEnabled(documents == 1);
  w->commitFocusedEditor();
}

// ---- toolbar ----

void frmMainCommands::tbMain_ButtonClick(QAction* button) {
  if (!button) return;
  window_->commitFocusedEditor();
  const QString key = button->data().toString();
  const std::pair<const char*, void (frmMainCommands::*)()> commands[] = {
      {"New", &frmMainCommands::mnuFileNew_Click},       {"Open", &frmMainCommands::mnuFileOpen_Click},
      {"Save", &frmMainCommands::mnuFileSave_Click},     {"Print", &frmMainCommands::mnuFilePrint_Click},
      {"Cut", &frmMainCommands::mnuEditCut_Click},       {"Copy", &frmMainCommands::mnuEditCopy_Click},
      {"Paste", &frmMainCommands::mnuEditPaste_Click},   {"Insert", &frmMainCommands::mnuEditInsert_Click},
      {"Delete", &frmMainCommands::mnuEditDelete_Click}, {"View", &frmMainCommands::mnuEditView_Click},
  };
  for (const auto& [name, handler] : commands) {
    if (key == QLatin1String(name)) {
      (this->*handler)();
      return;
    }
  }
}

// ---- File ----

void frmMainCommands::mnuFileNew_Click() {
  gJob = std::make_unique<clsJob>();
  window_->RefreshFromJob();
}

void frmMainCommands::mnuFileOpen_Click() {
  const QString chosen = pickFileToOpen(window_, GetResString(111), QString(), ticketFilter());
  if (chosen.isEmpty()) return;
  gJob = std::make_unique<clsJob>();
  gJob->kvtFile = chosen;
  if (!gJob->loadFromKVT()) showFailure(113, 114);
  window_->RefreshFromJob();
  window_->RefreshPrinterAndLists();
}

void frmMainCommands::mnuFileSave_Click() {
  if (gJob->kvtFile.isEmpty()) {
    mnuFileSaveAs_Click();
    return;
  }
  if (!gJob->saveToKVT()) showFailure(117, 118);
}

void frmMainCommands::mnuFileSaveAs_Click() {
  const QString chosen =
      pickFileToSave(window_, GetResString(119), gJob->jobName + QStringLiteral(".kvt"), ticketFilter());
  if (!chosen.isEmpty()) {
    gJob->kvtFile = chosen;
    if (!gJob->saveToKVT()) showFailure(117, 118);
  }
  window_->RefreshPrinterAndLists();
}

void frmMainCommands::mnuFilePrint_Click() {
  clsPrinter* printer = gSettings ? gSettings->printers.printer(gJob->printerName) : nullptr;
  if (!gJob->submit(printer)) showFailure(115, 116);
}

void frmMainCommands::mnuFileSettings_Click() {
  window_->lvDocs->setFocus();
  QCoreApplication::processEvents();
  if (!modMain::EnsureSettings(false)) {
    QCoreApplication::exit(modMain::ExitSettingsCancelled);
    return;
  }
  window_->RefreshPrinterAndLists();
  window_->RefreshFromJob();
}

void frmMainCommands::mnuFileExit_Click() { window_->close(); }

// ---- Edit ----

void frmMainCommands::mnuEditCut_Click() {
  mnuEditCopy_Click();
  mnuEditDelete_Click();
}

void frmMainCommands::mnuEditCopy_Click() {
  if (CountSelected(false) == 0) return;
  copiedDocs.clear();
  placeMarker(DragFormats::Documents);
  for (const qint32 id : selectedDocIds()) {
    const clsDocument* source = gJob->document(id);
    if (!source) continue;
    auto copy = std::make_shared<clsDocument>();
    copy->fileName = source->fileName;
    copy->opts = source->opts->Clone(false, false);
    copiedDocs.append(std::move(copy));
  }
}

void frmMainCommands::mnuEditDelete_Click() {
  for (const qint32 id : selectedDocIds()) gJob->deleteDoc(id);
  window_->RefreshFromJob();
}

void frmMainCommands::mnuEditPaste_Click() {
  const qint32 position = insertPosition();
  if (clipboardOffers(DragFormats::Documents)) {
    for (const auto& doc : copiedDocs) gJob->addDoc(position, doc->fileName, doc->opts.get());
  } else if (clipboardOffers(DragFormats::Files)) {
    for (const QString& path : GetClipboardFiles()) gJob->addDoc(position, path);
  } else {
    return;
  }
  window_->RefreshFromJob();
}

void frmMainCommands::mnuEditCopyoptions_Click() {
  if (CountSelected(true) != 1) return;
  const QTreeWidgetItem* item = window_->lvDocs->selectedItems().value(0);
  const clsPJLOptionSet* source = item ? window_->rowOptions(item) : nullptr;
  if (!source) return;
  placeMarker(DragFormats::Options);
  copiedOptions = source->Clone(false, false);
}

// The whole set is replaced, not merged. Without options of this program's own
// copying there is nothing to paste.
void frmMainCommands::mnuEditPasteoptions_Click() {
  if (!clipboardOffers(DragFormats::Options) || !copiedOptions) return;
  const QTreeWidget* list = window_->lvDocs;
  for (int index = 0; index < list->topLevelItemCount(); ++index) {
    const QTreeWidgetItem* item = list->topLevelItem(index);
    if (!item->isSelected()) continue;
    const QString key = frmMain::rowKey(item);
    if (key == frmMain::DefaultRowKey) {
      gJob->docDefaults = copiedOptions->Clone(false, false);
    } else if (clsDocument* doc = gJob->document(idOfKey(key))) {
      doc->opts = copiedOptions->Clone(false, false);
    }
  }
  window_->RefreshFromJob();
}

void frmMainCommands::mnuEditInsert_Click() {
  const qint32 position = insertPosition();
  QDir::setCurrent(gStartDir);
  const QStringList chosen = pickFilesToOpen(window_, GetResString(109), QString(), documentsFilter());
  if (chosen.isEmpty()) return;
  for (const QString& path : chosen) gJob->addDoc(position, path);
  window_->RefreshFromJob();
}

void frmMainCommands::mnuEditView_Click() {
  const QList<qint32> ids = selectedDocIds();
  const clsDocument* doc = ids.isEmpty() ? nullptr : gJob->document(ids.first());
  if (!doc) return;
  const DocumentLauncher::Launcher& launcher = DocumentLauncher::current();
  if (GetExtensionName(doc->fileName).toUpper() == QLatin1String("PDF")) {
    launcher.openWithShell(doc->fileName);
    return;
  }
  const QString viewer = gSettings ? gSettings->viewer.path.trimmed() : QString();
  // Without a viewer the command line would start the document itself as a program.
  if (viewer.isEmpty()) return;
  launcher.runCommand(viewer + QStringLiteral(" \"") + doc->fileName + QStringLiteral("\""));
}

// ---- Help ----

void frmMainCommands::mnuChangeLang_Click() { LanguageSelect::ShowDialog(false); }

void frmMainCommands::mnuHelpAbout_Click() {
  frmAbout about(window_);
  about.lblWarning->setText(GetResString(144));
  about.exec();
}
