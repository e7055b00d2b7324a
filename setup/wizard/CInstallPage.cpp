#include "CInstallPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>

#include "CBootstrapConfig.h"
#include "CPrerequisiteSet.h"
#include "ListColumns.h"
#include "SetupMessages.h"
#include "SetupStrings.h"
#include "WrappedRows.h"

namespace {

namespace Text {
constexpr int Name = 169;
constexpr int Status = 172;
constexpr int Pending = 173;
constexpr int Installing = 174;
constexpr int Installed = 175;
constexpr int Error = 176;
constexpr int InstallingFrom = 177;
constexpr int SomeFailed = 178;
constexpr int StillMissing = 179;
constexpr int AllInstalled = 180;
constexpr int AutoFinish = 1025;
}  // namespace Text

constexpr int kStatusColumn = 1;

bool isInstallState(int state) {
  return state == PrerequisiteState::Install || state == PrerequisiteState::Downloaded ||
         state == PrerequisiteState::DownloadedPresent;
}

}  // namespace

CInstallPage::CInstallPage(CPrereqWizard& wizard)
    : CPrereqWizardPage(wizard),
      list_(new QTreeWidget(this)),
      text_(new QLabel(this)),
      icon_(new QLabel(this)),
      autoFinish_(new QCheckBox(SetupStrings::text(Text::AutoFinish), this)) {
  list_->setObjectName(QStringLiteral("1024"));
  list_->setRootIsDecorated(false);
  // An error text is read whole: its row grows to hold it.
  new WrappedRows(list_);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setFocusPolicy(Qt::NoFocus);
  list_->setHeaderLabels({SetupStrings::text(Text::Name), SetupStrings::text(Text::Status)});
  new ListColumns(list_, 0, {0, 120});
  text_->setObjectName(QStringLiteral("1012"));
  text_->setWordWrap(true);
  icon_->setObjectName(QStringLiteral("1033"));
  icon_->setAlignment(Qt::AlignTop);
  autoFinish_->setObjectName(QStringLiteral("1025"));
  autoFinish_->setChecked(true);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_, 0, 0, 1, 2);
  layout->addWidget(icon_, 1, 0);
  layout->addWidget(text_, 1, 1);
  layout->addWidget(autoFinish_, 2, 0, 1, 2);
  layout->setRowStretch(0, 1);
  layout->setColumnStretch(1, 1);
}

CInstallPage::~CInstallPage() {
  cancel_ = true;
  prerequisites().WaitForInstallRunner();
}

void CInstallPage::showIcon(bool error) {
  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  const QStyle::StandardPixmap kind =
      error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxInformation;
  icon_->setPixmap(style()->standardIcon(kind, nullptr, this).pixmap(size, size));
}

void CInstallPage::onSetActive() {
  postTitle();
  setButtons(false, false, false);
  autoFinish_->setEnabled(true);
  showIcon(false);
  text_->clear();
  CPrerequisiteSet& set = prerequisites();
  set.WaitForInstallRunner();
  list_->clear();
  for (int i = 0; i < set.count(); ++i) {
    if (!isInstallState(set.chosenStates.at(i))) continue;
    new QTreeWidgetItem(list_, {set.config().prerequisites.at(i).name, SetupStrings::text(Text::Pending)});
  }
  set.BuildInstallList(true);
  paths_.clear();
  for (const CPrerequisiteSet::InstallItem& item : set.installList()) paths_.append(item.path);
  failures_ = 0;
  runnerRow_ = -1;
  cancel_ = false;
  set.StartInstallRunner(*this);
}

void CInstallPage::status(const QString&) {
  const int row = ++runnerRow_;
  QMetaObject::invokeMethod(
      this, [this, row] { showRunning(row); }, Qt::QueuedConnection);
}

void CInstallPage::itemSucceeded() {
  const int row = runnerRow_;
  QMetaObject::invokeMethod(
      this, [this, row] { showResult(row, SetupStrings::text(Text::Installed)); }, Qt::QueuedConnection);
}

// The runner has just failed this row's item: its error and what it names are in place.
void CInstallPage::itemFailed(int) {
  const int row = runnerRow_;
  const QString text = setupText(Text::Error, {prerequisites().installList().value(row).errorText()});
  QMetaObject::invokeMethod(
      this,
      [this, row, text] {
        ++failures_;
        showResult(row, text);
      },
      Qt::QueuedConnection);
}

void CInstallPage::finished() {
  QMetaObject::invokeMethod(this, &CInstallPage::runEnded, Qt::QueuedConnection);
}

void CInstallPage::showRunning(int row) {
  QTreeWidgetItem* item = list_->topLevelItem(row);
  if (!item) return;
  text_->setText(
      setupText(Text::InstallingFrom, {item->text(0), QDir::toNativeSeparators(paths_.value(row))}));
  list_->setCurrentItem(item);
  item->setSelected(true);
  item->setText(kStatusColumn, SetupStrings::text(Text::Installing));
}

void CInstallPage::showResult(int row, const QString& text) {
  if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
    item->setText(kStatusColumn, text);
    item->setToolTip(kStatusColumn, text);
  }
}

void CInstallPage::runEnded() {
  if (cancel_) return;
  list_->clearSelection();
  const bool autoFinish = autoFinish_->isChecked();
  autoFinish_->setChecked(false);
  autoFinish_->setEnabled(false);
  if (failures_ > 0) {
    showIcon(true);
    text_->setText(SetupStrings::text(Text::SomeFailed));
    setButtons(true, false, false);
    return;
  }
  CPrerequisiteSet& set = prerequisites();
  set.RedetectAll();
  sheet().requestRefill();
  if (set.HasPendingWork()) {
    showIcon(true);
    text_->setText(SetupStrings::text(Text::StillMissing));
    setButtons(true, false, false);
    return;
  }
  text_->setText(SetupStrings::text(Text::AllInstalled));
  setButtons(true, false, true);
  if (autoFinish) sheet().postClick(QWizard::FinishButton);
}
