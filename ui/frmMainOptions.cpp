// The option controls of the main window: the job options frame and the four
// option pages, what each control stores and where.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "DocListView.h"
#include "ProgramIcons.h"
#include "clsJob.h"
#include "clsPJLOption.h"
#include "clsSettings.h"
#include "frmMain.h"
#include "modRCF.h"

namespace {

constexpr int kStripWidth = frmMain::StripWidth;
constexpr int kStripHeight = frmMain::StripHeight;
constexpr int kPictSize = frmMain::PictSize;
constexpr int kPageTop = 24;
constexpr int kPageLeft = 8;

// Tab order of the strip and the frame each tab shows.
struct Tab {
  int frame;
};
constexpr Tab kTabs[] = {{1}, {0}, {2}, {3}};

double roundedToTenths(double value) { return std::nearbyint(value * 10) / 10; }

// The display name of the option's value when the text names that value, by the
// value itself or by its display name in the loaded definitions, in any letter
// case; empty otherwise.
QString namedEntry(const QString& tag, const QString& value, const QString& text) {
  clsPJLOption option;
  option.name = tag;
  option.setValue(value);
  const QString shown = option.uiValue();
  const bool named =
      text.compare(value, Qt::CaseInsensitive) == 0 || text.compare(shown, Qt::CaseInsensitive) == 0;
  return named ? shown : QString();
}

// The list's own wording of the entry that the text names, as namedEntry takes it;
// empty when it names none.
QString listedEntry(const QString& tag, const QString& text) {
  clsPJLOption option;
  option.name = tag;
  for (const auto& [key, shown] : option.possibleUIValues()) {
    if (shown.isEmpty()) continue;
    const QString entry = namedEntry(tag, key.mid(1), text);
    if (!entry.isEmpty()) return entry;
  }
  return {};
}

// A list word (such as LEFT) is chosen, not a typed distance.
bool listWordChosen(const QComboBox* box) {
  return !box->currentText().isEmpty() &&
         box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

QWidget* row(std::initializer_list<QWidget*> widgets) {
  auto* holder = new QWidget;
  auto* layout = new QHBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  for (QWidget* widget : widgets) layout->addWidget(widget);
  layout->addStretch();
  return holder;
}

// The controls that Tab reaches, in the order a reader meets them: a grid row by
// row and each row from left to right, a row of controls from left to right.
void appendInReadingOrder(const QLayout* layout, QList<QWidget*>& order) {
  QList<int> items(layout->count());
  std::iota(items.begin(), items.end(), 0);
  if (const auto* grid = qobject_cast<const QGridLayout*>(layout)) {
    const auto cell = [grid](int item) {
      int row = 0, column = 0, rows = 0, columns = 0;
      grid->getItemPosition(item, &row, &column, &rows, &columns);
      return std::pair(row, column);
    };
    std::sort(items.begin(), items.end(), [&cell](int a, int b) { return cell(a) < cell(b); });
  }
  for (const int item : items) {
    QLayoutItem* entry = layout->itemAt(item);
    QWidget* widget = entry->widget();
    if (const QLayout* inner = widget ? widget->layout() : entry->layout())
      appendInReadingOrder(inner, order);
    else if (widget && (widget->focusPolicy() & Qt::TabFocus))
      order.append(widget);
  }
}

void tabInReadingOrder(QWidget* page) {
  QList<QWidget*> order;
  appendInReadingOrder(page->layout(), order);
  for (qsizetype next = 1; next < order.size(); ++next) QWidget::setTabOrder(order[next - 1], order[next]);
}

QGridLayout* pageGrid(QFrame* page) {
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(10, 8, 10, 8);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);
  return grid;
}

}  // namespace

QList<QWidget*> frmMain::documentControls() const {
  return {cboFinProg, cboFont,      cboJustX,     cboJustY,    cboLabelRot,  cboLabelSize, cboLabelX,
          cboLabelY,  cboMedia,     cboRotate,    cboScale,    cboShading,   cboSize,      cboSource,
          cboTitle,   txtDocCopies, txtLabelText, chkIntTitle, chkLineScale, chkMirrorX,   chkMirrorY};
}

void frmMain::buildOptionPages(QWidget* parent) {
  stripPanel_ = new QFrame(parent);
  stripPanel_->setFrameShape(QFrame::StyledPanel);
  tsOpts = new QTabBar(parent);
  tsOpts->setObjectName(QStringLiteral("tsOpts"));
  tsOpts->setExpanding(false);
  tsOpts->setDrawBase(false);
  frameTabs = {buildFinishingPage(), buildGeneralPage(), buildLabellingPage(), buildAdvancedPage()};
  for (int index = 0; index < frameTabs.size(); ++index) {
    QFrame* page = frameTabs[index];
    page->setObjectName(QStringLiteral("frameTabs_%1").arg(index));
    page->setParent(parent);
    tabInReadingOrder(page);
    page->resize(kStripWidth - 2 * kPageLeft - kPictSize - 8, kStripHeight - kPageTop - kPageLeft);
  }
  for (const Tab& tab : kTabs) tsOpts->setTabData(tsOpts->addTab(QString()), QString::number(tab.frame));
  tsOpts->resize(kStripWidth, tsOpts->sizeHint().height());
  stripPanel_->resize(kStripWidth, kStripHeight - tsOpts->height() + 1);
  tsOpts->raise();

  pictCopy = new QToolButton(parent);
  pictCopy->setObjectName(QStringLiteral("pictCopy"));
  pictCopy->setIcon(ProgramIcons::picture(QStringLiteral("Print")));
  pictCopy->setIconSize(QSize(kPictSize - 12, kPictSize - 12));
  pictCopy->resize(kPictSize, kPictSize);
  connect(pictCopy, &QToolButton::clicked, mnuFilePrint, &QAction::trigger);
}

QFrame* frmMain::buildGeneralPage() {
  auto* page = new QFrame;
  QGridLayout* grid = pageGrid(page);
  txtDocCopies = textBox(QStringLiteral("txtDocCopies"), QStringLiteral("DOCCOPIES"), page);
  txtDocCopies->setText(QStringLiteral("1"));
  txtDocCopies->setFixedWidth(50);
  vsDocCopies = spinner(QStringLiteral("vsDocCopies"), 1, 999, 999, page);
  vsDocCopies->setFixedSize(17, txtDocCopies->sizeHint().height());
  cboSize = combo(QStringLiteral("cboSize"), QStringLiteral("PAPER"), false, page);
  cboScale = combo(QStringLiteral("cboScale"), QStringLiteral("PAGESCALING"), true, page);
  cboMedia = combo(QStringLiteral("cboMedia"), QStringLiteral("MEDIANAME"), false, page);
  chkLineScale = checkBox(QStringLiteral("chkLineScale"), QStringLiteral("LINESCALEMODE"), page);
  grid->addWidget(label(QStringLiteral("lblDocCopies"), page), 0, 0);
  grid->addWidget(row({txtDocCopies, vsDocCopies}), 0, 1);
  grid->addWidget(label(QStringLiteral("lblSize"), page), 1, 0);
  grid->addWidget(cboSize, 1, 1);
  grid->addWidget(label(QStringLiteral("lblScale"), page), 2, 0);
  grid->addWidget(cboScale, 2, 1);
  grid->addWidget(label(QStringLiteral("lblMedia"), page), 3, 0);
  grid->addWidget(cboMedia, 3, 1);
  grid->addWidget(chkLineScale, 4, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(5, 1);
  return page;
}

QFrame* frmMain::buildFinishingPage() {
  auto* page = new QFrame;
  QGridLayout* grid = pageGrid(page);
  chkFinishing = checkBox(QStringLiteral("chkFinishing"), QString(), page);
  cboFinProg = combo(QStringLiteral("cboFinProg"), QStringLiteral("FINISHPROGID"), false, page);
  cboTitle = combo(QStringLiteral("cboTitle"), QStringLiteral("TITLEBLOCK"), false, page);
  chkIntTitle = checkBox(QStringLiteral("chkIntTitle"), QStringLiteral("FININTTITLEBLOCK"), page);
  grid->addWidget(chkFinishing, 0, 0, 1, 2);
  grid->addWidget(label(QStringLiteral("lblFinProg"), page), 1, 0);
  grid->addWidget(cboFinProg, 1, 1);
  grid->addWidget(label(QStringLiteral("lblTitle"), page), 2, 0);
  grid->addWidget(cboTitle, 2, 1);
  grid->addWidget(chkIntTitle, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(4, 1);
  return page;
}

QFrame* frmMain::buildLabellingPage() {
  auto* page = new QFrame;
  QGridLayout* grid = pageGrid(page);
  chkLabel = checkBox(QStringLiteral("chkLabel"), QString(), page);
  txtLabelText = textBox(QStringLiteral("txtLabelText"), QStringLiteral("LABELSTRING"), page);
  cboFont = combo(QStringLiteral("cboFont"), QStringLiteral("LABELFONTOBJ"), false, page);
  cboShading = combo(QStringLiteral("cboShading"), QStringLiteral("LABELSHADING"), true, page);
  cboLabelRot = combo(QStringLiteral("cboLabelRot"), QStringLiteral("LABELROTATE"), true, page);
  cboLabelSize = combo(QStringLiteral("cboLabelSize"), QStringLiteral("LABELSIZE"), true, page);
  cboLabelX = combo(QStringLiteral("cboLabelX"), QStringLiteral("LABELLOCX"), true, page);
  cboLabelY = combo(QStringLiteral("cboLabelY"), QStringLiteral("LABELLOCY"), true, page);
  lblLabelUnitsX = label(QStringLiteral("lblLabelUnitsX"), page);
  lblLabelUnitsY = label(QStringLiteral("lblLabelUnitsY"), page);
  for (QComboBox* box : {cboLabelX, cboLabelY}) box->setMinimumWidth(90);
  for (QLabel* units : {lblLabelUnitsX, lblLabelUnitsY}) units->setMinimumWidth(44);
  grid->addWidget(chkLabel, 0, 0, 1, 4);
  grid->addWidget(label(QStringLiteral("lblLabelText"), page), 1, 0);
  grid->addWidget(txtLabelText, 1, 1, 1, 3);
  grid->addWidget(label(QStringLiteral("lblFont"), page), 2, 0);
  grid->addWidget(cboFont, 2, 1);
  grid->addWidget(label(QStringLiteral("lblLabelSize"), page), 2, 2);
  grid->addWidget(cboLabelSize, 2, 3);
  grid->addWidget(label(QStringLiteral("lblShading"), page), 3, 0);
  grid->addWidget(cboShading, 3, 1);
  grid->addWidget(label(QStringLiteral("lblLabelRot"), page), 3, 2);
  grid->addWidget(cboLabelRot, 3, 3);
  grid->addWidget(label(QStringLiteral("lblLocation"), page), 4, 0);
  grid->addWidget(row({label(QStringLiteral("lblLabelX"), page), cboLabelX, lblLabelUnitsX,
                       label(QStringLiteral("lblLabelY"), page), cboLabelY, lblLabelUnitsY}),
                  4, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(5, 1);
  return page;
}

QFrame* frmMain::buildAdvancedPage() {
  auto* page = new QFrame;
  QGridLayout* grid = pageGrid(page);
  cboSource = combo(QStringLiteral("cboSource"), QStringLiteral("MEDIASOURCE"), false, page);
  cboJustX = combo(QStringLiteral("cboJustX"), QStringLiteral("JUSTIFYX"), true, page);
  cboJustY = combo(QStringLiteral("cboJustY"), QStringLiteral("JUSTIFYY"), true, page);
  lblJustUnitsX = label(QStringLiteral("lblJustUnitsX"), page);
  lblJustUnitsY = label(QStringLiteral("lblJustUnitsY"), page);
  chkMirrorX = checkBox(QStringLiteral("chkMirrorX"), QStringLiteral("MIRRORIMAGE"), page);
  chkMirrorY = checkBox(QStringLiteral("chkMirrorY"), QStringLiteral("MIRRORIMAGE"), page);
  cboRotate = combo(QStringLiteral("cboRotate"), QStringLiteral("PAGEROTATE"), false, page);
  for (QComboBox* box : {cboJustX, cboJustY}) box->setMinimumWidth(90);
  for (QLabel* units : {lblJustUnitsX, lblJustUnitsY}) units->setMinimumWidth(44);
  grid->addWidget(label(QStringLiteral("lblMediaSource"), page), 0, 0);
  grid->addWidget(cboSource, 0, 1);
  grid->addWidget(label(QStringLiteral("lblJustify"), page), 1, 0);
  grid->addWidget(row({label(QStringLiteral("lblX"), page), cboJustX, lblJustUnitsX,
                       label(QStringLiteral("lblY"), page), cboJustY, lblJustUnitsY}),
                  1, 1);
  grid->addWidget(label(QStringLiteral("lblMirror"), page), 2, 0);
  grid->addWidget(row({chkMirrorX, chkMirrorY}), 2, 1);
  grid->addWidget(label(QStringLiteral("lblRotate"), page), 3, 0);
  grid->addWidget(cboRotate, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(4, 1);
  return page;
}

void frmMain::connectJobControls() {
  connect(cboPrinter, &QComboBox::activated, this, &frmMain::cboPrinter_Click);
  onValidate(txtJobName, [this] { gJob->jobName = txtJobName->text(); });
  onValidate(txtCopies,
             [this] { spinnerValidate(txtCopies, vsCopies, 999, [this] { storeJobOption(txtCopies); }); });
  connect(vsCopies, &QScrollBar::valueChanged, this, [this] { spinnerChange(txtCopies, vsCopies); });
  onValidate(txtPriority, [this] {
    spinnerValidate(txtPriority, vsPriority, 995, [this] { storeJobOption(txtPriority); });
  });
  connect(vsPriority, &QScrollBar::valueChanged, this, [this] { spinnerChange(txtPriority, vsPriority); });
  // The value the chosen entry stands for is stored, not its display name.
  connect(cboCollate, &QComboBox::activated, this, [this] {
    clsPJLOption option;
    option.name = tagOf(cboCollate);
    option.setUiValue(cboCollate->currentText());
    gJob->jobOpts->setPjlOpt(option.name, option.value());
  });
  connect(chkHold, &QCheckBox::clicked, this, &frmMain::chkHold_Click);
  connect(chkAcct, &QCheckBox::clicked, this, &frmMain::chkAcct_Click);
  onValidate(txtAcct, [this] { storeJobOption(txtAcct); });
  onValidate(txtAcctUser, [this] { storeJobOption(txtAcctUser); });
}

void frmMain::connectOptionControls() {
  onValidate(txtDocCopies, [this] {
    spinnerValidate(txtDocCopies, vsDocCopies, 999, [this] { applyText(txtDocCopies); });
  });
  connect(txtDocCopies, &QLineEdit::textEdited, this, &frmMain::txtDocCopies_Change);
  connect(vsDocCopies, &QScrollBar::valueChanged, this, [this] { spinnerChange(txtDocCopies, vsDocCopies); });
  for (QComboBox* box : {cboSize, cboMedia, cboSource, cboRotate})
    connect(box, &QComboBox::activated, this, [this, box] { applyText(box); });
  for (QWidget* control : std::initializer_list<QWidget*>{cboFinProg, cboTitle, cboFont, cboShading,
                                                          cboLabelRot, cboLabelSize, txtLabelText})
    onValidate(control, [this, control] { applyText(control); });
  onValidate(cboScale, [this] { cboScale_Validate(); });
  for (QComboBox* box : {cboJustX, cboJustY, cboLabelX, cboLabelY}) {
    connect(box, &QComboBox::editTextChanged, this, [this, box] { positionUnits(box); });
    connect(box, &QComboBox::activated, this, [this, box] { positionUnits(box); });
    onValidate(box, [this, box] { positionValidate(box); });
  }
  // A grey box holds no choice of the user's: it stores nothing until clicked.
  for (QCheckBox* box : {chkLineScale, chkIntTitle}) {
    onValidate(box, [this, box] {
      if (box->checkState() != Qt::PartiallyChecked)
        ApplyOption(tagOf(box), box->isChecked() ? QStringLiteral("ON") : QStringLiteral("OFF"));
    });
  }
  for (QCheckBox* box : {chkLineScale, chkIntTitle, chkMirrorX, chkMirrorY})
    connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
  onValidate(chkMirrorX, [this] { chkMirror_Validate(); });
  onValidate(chkMirrorY, [this] { chkMirror_Validate(); });
  connect(chkFinishing, &QCheckBox::clicked, this, &frmMain::chkFinishing_Click);
  connect(chkLabel, &QCheckBox::clicked, this, &frmMain::chkLabel_Click);
  connect(tsOpts, &QTabBar::currentChanged, this, &frmMain::tsOpts_Click);
}

void frmMain::storeJobOption(QWidget* control) {
  const auto* text = qobject_cast<QLineEdit*>(control);
  gJob->jobOpts->setPjlOpt(tagOf(control), text->text());
}

std::optional<int> frmMain::spinnerValue(QLineEdit* text, QScrollBar* bar) {
  const auto value = modRCF::toInteger(1000 - modRCF::numericValue(text->text()));
  if (!value || *value < bar->minimum() || *value > bar->maximum()) return std::nullopt;
  return *value;
}

void frmMain::followSpinner(QLineEdit* text, QScrollBar* bar) {
  const auto value = spinnerValue(text, bar);
  const QSignalBlocker blocker(bar);
  if (value) bar->setValue(*value);
}

// The text becomes the number in its plain form, or the reset value when the
// number lies outside the spinner's range; then it is stored.
void frmMain::spinnerValidate(QLineEdit* text, QScrollBar* bar, int resetValue,
                              const std::function<void()>& store) {
  const int value = spinnerValue(text, bar).value_or(resetValue);
  {
    const QSignalBlocker blocker(bar);
    bar->setValue(value);
  }
  text->setText(QString::number(1000 - value));
  store();
}

void frmMain::spinnerChange(QLineEdit* text, QScrollBar* bar) {
  text->setText(QString::number(1000 - bar->value()));
  validators_.value(text)();
}

// A valid number takes effect keystroke by keystroke; others wait for the validation.
void frmMain::txtDocCopies_Change() {
  const auto value = spinnerValue(txtDocCopies, vsDocCopies);
  if (value && *value != vsDocCopies->value()) vsDocCopies->setValue(*value);
}

void frmMain::applyText(QWidget* control) {
  setMixedLook(control, false);
  QString text;
  if (const auto* box = qobject_cast<QComboBox*>(control))
    text = box->currentText();
  else if (const auto* line = qobject_cast<QLineEdit*>(control))
    text = line->text();
  ApplyOption(tagOf(control), text);
}

void frmMain::cboScale_Validate() {
  const QString typed = cboScale->currentText();
  QString text = namedEntry(tagOf(cboScale), QStringLiteral("AUTO"), typed);
  if (text.isEmpty()) {
    double number = modRCF::numericValue(typed);
    if (number < 10 || number > 999) number = 100;
    text = numberText(roundedToTenths(number)) + QLatin1Char('%');
  }
  cboScale->setEditText(text);
  applyText(cboScale);
}

QLabel* frmMain::unitLabelOf(const QComboBox* box) const {
  if (box == cboJustX) return lblJustUnitsX;
  if (box == cboJustY) return lblJustUnitsY;
  if (box == cboLabelX) return lblLabelUnitsX;
  return lblLabelUnitsY;
}

void frmMain::positionUnits(QComboBox* box) {
  unitLabelOf(box)->setText(listWordChosen(box) || !gSettings ? QString() : gSettings->units.name);
}

// A list word in any letter case is that entry; anything else is a distance.
void frmMain::positionValidate(QComboBox* box) {
  QString text = listedEntry(tagOf(box), box->currentText());
  if (text.isEmpty()) {
    double number = modRCF::numericValue(box->currentText());
    if (!(number >= 0 && number <= 2500)) number = 0;
    text = numberText(roundedToTenths(number));
  }
  box->setEditText(text);
  applyText(box);
}

// A grey box counts as unticked.
void frmMain::chkMirror_Validate() {
  const bool x = chkMirrorX->checkState() == Qt::Checked;
  const bool y = chkMirrorY->checkState() == Qt::Checked;
  QString value = QStringLiteral("MIRROR_XY");
  if (!x && !y) value = QStringLiteral("MIRROR_OFF");
  if (!x && y) value = QStringLiteral("MIRROR_Y");
  if (x && !y) value = QStringLiteral("MIRROR_X");
  ApplyOption(tagOf(chkMirrorX), value);
}

// The lists follow the new printer before the rows are shown again, so that
// only values the new printer does not offer are replaced.
void frmMain::cboPrinter_Click() {
  gJob->printerName = cboPrinter->currentText();
  RefreshPrinterAndLists();
  ShowSelectedOptions();
  lvDocs_Click();
}

// The job is held when ticked: the values of the definition file.
void frmMain::chkHold_Click() {
  gJob->jobOpts->setPjlOpt(tagOf(chkHold),
                           chkHold->isChecked() ? QStringLiteral("HOLD") : QStringLiteral("NONE"));
}

void frmMain::chkAcct_Click() {
  showGroups();
  if (chkAcct->isChecked()) return;
  for (QLineEdit* box : {txtAcct, txtAcctUser}) {
    box->clear();
    storeJobOption(box);
  }
}

// Unticked means the option's default program, which is no finishing, also
// when the printer's list does not offer it.
void frmMain::chkFinishing_Click() {
  showGroups();
  if (chkFinishing->checkState() != Qt::Unchecked) return;
  clsPJLOption option;
  option.name = tagOf(cboFinProg);
  option.setValue(option.Default());
  {
    const QSignalBlocker blocker(cboFinProg);
    showStoredEntry(cboFinProg, option.uiValue());
  }
  setMixedLook(cboFinProg, false);
  ApplyOption(option.name, option.uiValue());
}

void frmMain::chkLabel_Click() {
  showGroups();
  if (chkLabel->checkState() != Qt::Unchecked) return;
  txtLabelText->clear();
  applyText(txtLabelText);
}

void frmMain::showGroups() {
  const bool accounting = chkAcct->isChecked();
  for (const char* name : {"txtAcctUser", "lblAcctUser", "lblAcct", "txtAcct"})
    findChild<QWidget*>(QLatin1String(name))->setVisible(accounting);
  const bool finishing = chkFinishing->checkState() == Qt::Checked;
  for (const char* name : {"lblFinProg", "lblTitle", "cboFinProg", "cboTitle", "chkIntTitle"})
    findChild<QWidget*>(QLatin1String(name))->setVisible(finishing);
  const bool labelling = chkLabel->checkState() == Qt::Checked;
  for (const char* name :
       {"lblLabelText", "txtLabelText", "lblFont", "cboFont", "lblLabelSize", "cboLabelSize", "lblShading",
        "cboShading", "lblLabelRot", "cboLabelRot", "lblLocation", "lblLabelX", "lblLabelY", "cboLabelX",
        "cboLabelY", "lblLabelUnitsX", "lblLabelUnitsY"})
    findChild<QWidget*>(QLatin1String(name))->setVisible(labelling);
}

void frmMain::tsOpts_Click() {
  for (QFrame* page : frameTabs) page->hide();
  const int shown = tsOpts->tabData(tsOpts->currentIndex()).toInt();
  if (shown >= 0 && shown < frameTabs.size()) frameTabs[shown]->show();
}

QString frmMain::rowKey(const QTreeWidgetItem* item) { return item->data(0, Qt::UserRole).toString(); }

clsPJLOptionSet* frmMain::rowOptions(const QTreeWidgetItem* item) const {
  const QString key = rowKey(item);
  if (key == DefaultRowKey) return gJob->docDefaults.get();
  clsDocument* document = gJob->document(key.mid(1).toInt());
  return document ? document->opts.get() : nullptr;
}

void frmMain::ApplyOption(const QString& tag, const QString& text) {
  if (busy_) return;
  clsPJLOption option;
  option.name = tag;
  option.setUiValue(text);
  const double number = modRCF::numericValue(text);
  if (isPositionTag(tag) && number > 0 && gSettings)
    option.setValue(numberText(gSettings->units.printerUnits(number)));
  for (int index = 0; index < lvDocs->topLevelItemCount(); ++index) {
    QTreeWidgetItem* item = lvDocs->topLevelItem(index);
    if (!item->isSelected()) continue;
    if (clsPJLOptionSet* opts = rowOptions(item)) {
      opts->setPjlOpt(tag, option.value());
      UpdateRow(item, *opts);
    }
  }
}
