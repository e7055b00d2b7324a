#include "frmSettings.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "FileDialog.h"
#include "MLRuntime.h"
#include "MessageBox.h"
#include "MlStringModule.h"
#include "clsSettings.h"
#include "frmEditPrinter.h"

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kAddressColumn = 1;
constexpr int kModelColumn = 2;
constexpr int kVersionColumn = 3;

QString rowKey(const QString& name) { return QStringLiteral("x") + name.toUpper(); }

void setCell(QTreeWidgetItem* row, int column, const QString& text) {
  if (row->text(column) != text) row->setText(column, text);
}

QTreeWidgetItem* rowOf(QTreeWidget* list, const QString& key) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->data(0, kKeyRole).toString() == key) return list->topLevelItem(i);
  return nullptr;
}

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

}  // namespace

frmSettings::frmSettings(QWidget* parent)
    : QDialog(parent),
      lvPrinters(new QTreeWidget(this)),
      lvSizes(new QTreeWidget(this)),
      cboUnits(new QComboBox(this)),
      txtViewer(new QLineEdit(this)),
      cmdViewerBrowse(new QPushButton(this)),
      cmdNew(new QPushButton(this)),
      cmdEdit(new QPushButton(this)),
      cmdDelete(new QPushButton(this)),
      cmdIOK(new QPushButton(this)),
      cmdCancel(new QPushButton(this)),
      lblPrinters(new QLabel(this)),
      lblSizes(new QLabel(this)),
      lblViewer(new QLabel(this)),
      txtUnits(new QLabel(this)),
      ml_RuntimeSupport(std::make_unique<MLRuntime::RuntimeSupport>()) {
  setObjectName(QStringLiteral("frmSettings"));
  const QList<QPair<QObject*, const char*>> names = {{lvPrinters, "lvPrinters"},
                                                     {lvSizes, "lvSizes"},
                                                     {cboUnits, "cboUnits"},
                                                     {txtViewer, "txtViewer"},
                                                     {cmdViewerBrowse, "cmdViewerBrowse"},
                                                     {cmdNew, "cmdNew"},
                                                     {cmdEdit, "cmdEdit"},
                                                     {cmdDelete, "cmdDelete"},
                                                     {cmdIOK, "cmdIOK"},
                                                     {cmdCancel, "cmdCancel"},
                                                     {lblPrinters, "lblPrinters"},
                                                     {lblSizes, "lblSizes"},
                                                     {lblViewer, "lblViewer"},
                                                     {txtUnits, "txtUnits"}};
  for (const auto& [control, name] : names) control->setObjectName(QLatin1String(name));
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  buildLayout();

  connect(cmdNew, &QPushButton::clicked, this, &frmSettings::cmdNew_Click);
  connect(cmdEdit, &QPushButton::clicked, this, &frmSettings::cmdEdit_Click);
  connect(cmdDelete, &QPushButton::clicked, this, &frmSettings::cmdDelete_Click);
  connect(cmdViewerBrowse, &QPushButton::clicked, this, &frmSettings::cmdViewerBrowse_Click);
  connect(cmdIOK, &QPushButton::clicked, this, &frmSettings::cmdIOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSettings::cmdCancel_Click);
  connect(lvSizes, &QTreeWidget::itemChanged, this, &frmSettings::lvSizes_ItemCheck);
  connect(ml_RuntimeSupport.get(), &MLRuntime::RuntimeSupport::LanguageChanged, this,
          &frmSettings::ml_RuntimeSupport_LanguageChanged);
  cboUnits->installEventFilter(this);
  txtViewer->installEventFilter(this);

  LoadCaptions();
  fillFromSettings();
}

frmSettings::~frmSettings() = default;

void frmSettings::buildLayout() {
  lvPrinters->setColumnCount(4);
  lvPrinters->setRootIsDecorated(false);
  lvPrinters->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvPrinters->setAllColumnsShowFocus(true);
  lvPrinters->header()->setStretchLastSection(true);
  lvPrinters->setColumnWidth(0, 150);
  lvPrinters->setColumnWidth(kAddressColumn, 150);
  lvPrinters->setColumnWidth(kModelColumn, 110);
  lvSizes->setColumnCount(1);
  lvSizes->setRootIsDecorated(false);
  lvSizes->setSelectionMode(QAbstractItemView::NoSelection);
  lvSizes->setMaximumHeight(130);
  cmdViewerBrowse->setText(QStringLiteral("..."));
  cmdViewerBrowse->setMaximumWidth(40);
  cmdIOK->setDefault(true);
  lblPrinters->setBuddy(lvPrinters);
  lblSizes->setBuddy(lvSizes);
  lblViewer->setBuddy(txtViewer);
  txtUnits->setBuddy(cboUnits);

  auto* printerButtons = new QVBoxLayout();
  printerButtons->addWidget(cmdNew);
  printerButtons->addWidget(cmdEdit);
  printerButtons->addWidget(cmdDelete);
  printerButtons->addStretch();
  auto* printers = new QGridLayout();
  printers->addWidget(lblPrinters, 0, 0);
  printers->addWidget(lvPrinters, 1, 0);
  printers->addLayout(printerButtons, 1, 1);

  auto* units = new QVBoxLayout();
  units->addWidget(txtUnits);
  units->addWidget(cboUnits);
  units->addStretch();
  auto* sizes = new QVBoxLayout();
  sizes->addWidget(lblSizes);
  sizes->addWidget(lvSizes);
  auto* middle = new QHBoxLayout();
  middle->addLayout(sizes, 1);
  middle->addSpacing(12);
  middle->addLayout(units, 1);

  auto* viewer = new QHBoxLayout();
  viewer->addWidget(txtViewer);
  viewer->addWidget(cmdViewerBrowse);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(cmdIOK);
  buttons->addWidget(cmdCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(printers, 1);
  layout->addLayout(middle);
  layout->addWidget(lblViewer);
  layout->addLayout(viewer);
  layout->addLayout(buttons);
  resize(620, 480);
}

int frmSettings::exec() {
  if (!canAnswerDialogs()) {
    cancelled = true;
    return Rejected;
  }
  return execModal(*this);
}

void frmSettings::reject() { cmdCancel_Click(); }

bool frmSettings::eventFilter(QObject* watched, QEvent* event) {
  if (!leaving_ && event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    if (watched == cboUnits) cboUnits_Validate();
    if (watched == txtViewer) txtViewer_Validate();
  }
  return QDialog::eventFilter(watched, event);
}

// At the first start the dialog is made before the settings are read: each
// showing fills it again so that OK never writes what it held when it was made.
void frmSettings::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    leaving_ = false;
    fillFromSettings();
  }
  QDialog::showEvent(event);
}

void frmSettings::LoadCaptions() {
  setWindowTitle(GetResString(68));
  cmdCancel->setText(GetResString(71));
  cmdDelete->setText(GetResString(66));
  cmdEdit->setText(GetResString(59));
  cmdIOK->setText(GetResString(70));
  cmdNew->setText(GetResString(51));
  lblPrinters->setText(GetResString(79));
  lblSizes->setText(GetResString(76));
  lblViewer->setText(GetResString(78));
  txtUnits->setText(GetResString(77));
  lvPrinters->setHeaderLabels({GetResString(72), GetResString(73), GetResString(74), GetResString(75)});
  lvSizes->setHeaderLabels({GetResString(45)});
}

void frmSettings::fillFromSettings() {
  RefreshPrinters();
  FillRanges();
  txtViewer->setText(gSettings->viewer.path);
  FillUnits();
}

void frmSettings::RefreshPrinters() {
  const clsPrinters& printers = gSettings->printers;
  for (int i = lvPrinters->topLevelItemCount() - 1; i >= 0; --i)
    if (!printers.printer(lvPrinters->topLevelItem(i)->text(0))) delete lvPrinters->takeTopLevelItem(i);
  for (const QString& name : printers.names()) {
    const QString key = rowKey(name);
    QTreeWidgetItem* row = rowOf(lvPrinters, key);
    if (!row) {
      row = new QTreeWidgetItem(lvPrinters, {name});
      row->setData(0, kKeyRole, key);
    }
    const clsPrinter* printer = printers.printer(name);
    // A printer renamed in case only keeps its row: the row follows its name.
    setCell(row, 0, printer->name);
    setCell(row, kAddressColumn, printer->address);
    setCell(row, kModelColumn, printer->model());
    setCell(row, kVersionColumn, printer->version());
  }
}

void frmSettings::FillRanges() {
  const QSignalBlocker blocker(lvSizes);
  lvSizes->clear();
  for (const QString& range : gSettings->ranges.ranges) {
    auto* row = new QTreeWidgetItem(lvSizes, {range});
    row->setData(0, kKeyRole, rowKey(range));
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Qt::Unchecked);
  }
  for (const QString& range : gSettings->ranges.enabled)
    if (QTreeWidgetItem* row = rowOf(lvSizes, rowKey(range))) row->setCheckState(0, Qt::Checked);
}

void frmSettings::FillUnits() {
  const QSignalBlocker blocker(cboUnits);
  cboUnits->clear();
  cboUnits->addItems(gSettings->units.choice);
  cboUnits->setCurrentIndex(1);
  const QString stored = gSettings->units.name.trimmed().toUpper();
  for (int i = 0; i < cboUnits->count(); ++i)
    if (cboUnits->itemText(i).trimmed().toUpper() == stored) cboUnits->setCurrentIndex(i);
}

void frmSettings::selectRows(const QStringList& keys) {
  for (const QString& key : keys)
    if (QTreeWidgetItem* row = rowOf(lvPrinters, key)) row->setSelected(true);
}

QStringList frmSettings::selectedRowTexts() const {
  QStringList texts;
  for (int i = 0; i < lvPrinters->topLevelItemCount(); ++i)
    if (lvPrinters->topLevelItem(i)->isSelected()) texts.append(lvPrinters->topLevelItem(i)->text(0));
  return texts;
}

QStringList frmSettings::namesOtherThan(const QString& name) const {
  QStringList names = gSettings->printers.names();
  names.removeIf([&](const QString& other) { return other.compare(name, Qt::CaseInsensitive) == 0; });
  return names;
}

void frmSettings::cmdNew_Click() {
  frmEditPrinter editor(this);
  editor.takenNames = gSettings->printers.names();
  editor.exec();
  if (editor.canceled) return;
  const QString name = editor.txtName->text();
  gSettings->printers.add(name, editor.txtAddress->text());
  RefreshPrinters();
  for (int i = 0; i < lvPrinters->topLevelItemCount(); ++i)
    lvPrinters->topLevelItem(i)->setSelected(lvPrinters->topLevelItem(i)->text(0) == name);
}

void frmSettings::cmdEdit_Click() {
  const QStringList rows = selectedRowTexts();
  if (rows.isEmpty()) return;
  frmEditPrinter editor(this);
  QStringList remembered;
  for (const QString& text : rows) editPrinter(text, editor, remembered);
  RefreshPrinters();
  selectRows(remembered);
}

void frmSettings::editPrinter(const QString& rowText, frmEditPrinter& editor, QStringList& remembered) {
  clsPrinter* printer = gSettings->printers.printer(rowText);
  if (!printer) return;
  editor.txtName->setText(printer->name);
  editor.txtAddress->setText(printer->address);
  editor.takenNames = namesOtherThan(printer->name);
  editor.exec();
  if (editor.canceled) return;
  const QString name = editor.txtName->text();
  const QString address = editor.txtAddress->text();
  setCursor(Qt::WaitCursor);
  if (name != printer->name) {
    renamePrinter(printer->name, name, address, remembered);
  } else {
    printer->address = address;
    if (!printer->update()) MsgBox(GetResString(120), MsgBoxStyle::Critical, GetResString(105));
  }
  unsetCursor();
}

void frmSettings::renamePrinter(QString oldName, const QString& newName, const QString& address,
                                QStringList& remembered) {
  clsPrinters& printers = gSettings->printers;
  if (oldName.compare(newName, Qt::CaseInsensitive) == 0) {
    // The list keys printers without case: a new case is the same entry, queried again in place.
    clsPrinter* printer = printers.printer(oldName);
    const QString oldAddress = printer->address;
    printer->name = newName;
    printer->address = address;
    if (!printer->update()) {
      printer->name = oldName;
      printer->address = oldAddress;
      MsgBox(GetResString(104), MsgBoxStyle::Critical, GetResString(105));
    }
  } else if (printers.add(newName, address) && printers.printer(newName)) {
    printers.deletePrinter(oldName);
  }
  remembered.append(rowKey(newName));
}

void frmSettings::cmdDelete_Click() {
  for (const QString& text : selectedRowTexts()) gSettings->printers.deletePrinter(text);
  RefreshPrinters();
}

void frmSettings::lvSizes_ItemCheck(QTreeWidgetItem*, int) {
  QStringList enabled;
  for (int i = 0; i < lvSizes->topLevelItemCount(); ++i)
    if (lvSizes->topLevelItem(i)->checkState(0) == Qt::Checked)
      enabled.append(lvSizes->topLevelItem(i)->text(0));
  gSettings->ranges.enabled = enabled;
}

void frmSettings::cboUnits_Validate() { gSettings->units.name = cboUnits->currentText(); }

void frmSettings::txtViewer_Validate() {
  clsViewer& viewer = gSettings->viewer;
  const QString typed = txtViewer->text();
  if (viewer.viewerExists(typed))
    viewer.path = typed.isEmpty() || typed.contains(QLatin1Char('"')) ? typed : quoted(typed);
  txtViewer->setText(viewer.path);
}

// Programs here carry no ".exe": the filter offers every file.
void frmSettings::cmdViewerBrowse_Click() {
  const clsViewer& viewer = gSettings->viewer;
  const QString file =
      pickFileToOpen(this, GetResString(121), viewer.targetFile(), GetResString(140) + QStringLiteral("|*"));
  if (!file.isEmpty()) txtViewer->setText(quoted(file) + QLatin1Char(' ') + viewer.targetArgs());
}

// The boxes are applied as leaving them would, so a browsed or typed value is never lost.
void frmSettings::cmdIOK_Click() {
  cboUnits_Validate();
  txtViewer_Validate();
  leaving_ = true;
  gSettings->SaveToReg();
  cancelled = false;
  done(Accepted);
}

void frmSettings::cmdCancel_Click() {
  leaving_ = true;
  gSettings->LoadFromReg();
  cancelled = true;
  done(Rejected);
}

void frmSettings::ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language) {
  SetLanguage(LanguageID, Language);
  LoadCaptions();
}
