#include "CPrerequisitesPage.h"

#include <QAction>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include "CBootstrapConfig.h"
#include "CPrerequisiteSet.h"
#include "FolderBrowser.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "SetupMessages.h"
#include "SetupStrings.h"

namespace {

namespace Text {
constexpr int SelectDownloadFolder = 134;
constexpr int Name = 145;
constexpr int Action = 146;
constexpr int Skip = 147;
constexpr int Download = 148;
constexpr int Install = 149;
constexpr int Installed = 150;
constexpr int NotFound = 151;
constexpr int OpenSite = 152;
constexpr int NextDownloads = 154;
constexpr int NextInstalls = 155;
constexpr int NextOpensSites = 156;
constexpr int FinishInstallsMain = 157;
constexpr int RequiredAny = 160;
constexpr int RequiredOrLower = 162;
constexpr int RequiredOrHigher = 163;
constexpr int RequiredBetween = 164;
constexpr int FoundNothing = 165;
constexpr int Found = 166;
constexpr int Version = 167;
constexpr int Mandatory = 168;
constexpr int DownloadFolderLabel = 1003;
constexpr int Browse = 1004;
constexpr int MenuInstall = 32778;
constexpr int MenuSkip = 32779;
}  // namespace Text

constexpr int kIndexRole = Qt::UserRole;

bool startsChecked(int state) {
  return state == PrerequisiteState::Install || state == PrerequisiteState::Download ||
         state == PrerequisiteState::DownloadedPresent || state == PrerequisiteState::OpenSite;
}

bool isInstallState(int state) {
  return state == PrerequisiteState::Install || state == PrerequisiteState::Downloaded ||
         state == PrerequisiteState::DownloadedPresent;
}

QAction* menuAction(QObject* parent, int id) {
  auto* action = new QAction(SetupStrings::text(id), parent);
  action->setObjectName(QString::number(id));
  return action;
}

}  // namespace

CPrerequisitesPage::CPrerequisitesPage(CPrereqWizard& wizard)
    : CPrereqWizardPage(wizard),
      list_(new QTreeWidget(this)),
      folder_(new QLineEdit(this)),
      browse_(new QPushButton(SetupStrings::text(Text::Browse), this)),
      nextText_(new QLabel(this)),
      install_(menuAction(this, Text::MenuInstall)),
      skip_(menuAction(this, Text::MenuSkip)) {
  list_->setObjectName(QStringLiteral("1002"));
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels(
      {SetupStrings::text(Text::Name), SetupStrings::text(Text::Version), SetupStrings::text(Text::Action)});
  new ListColumns(list_, 1, {100, 0, 80});
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  folder_->setObjectName(QStringLiteral("1003"));
  folder_->setReadOnly(true);
  browse_->setObjectName(QStringLiteral("1004"));
  nextText_->setObjectName(QStringLiteral("1019"));
  nextText_->setWordWrap(true);
  auto* folderLabel = new QLabel(SetupStrings::text(Text::DownloadFolderLabel), this);
  folderLabel->setBuddy(folder_);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_, 0, 0, 1, 3);
  layout->addWidget(folderLabel, 1, 0);
  layout->addWidget(folder_, 1, 1);
  layout->addWidget(browse_, 1, 2);
  layout->addWidget(nextText_, 2, 0, 1, 3);
  layout->setRowStretch(0, 1);

  connect(list_, &QTreeWidget::itemChanged, this, &CPrerequisitesPage::checkChanged);
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { setChecked(item, item->checkState(0) != Qt::Checked); });
  connect(list_, &QWidget::customContextMenuRequested, this, &CPrerequisitesPage::showMenu);
  connect(install_, &QAction::triggered, this, [this] { setChecked(list_->currentItem(), true); });
  connect(skip_, &QAction::triggered, this, [this] { setChecked(list_->currentItem(), false); });
  connect(browse_, &QPushButton::clicked, this, &CPrerequisitesPage::browse);
}

QString CPrerequisitesPage::versionText(int index) const {
  const PrerequisiteInfo& info = prerequisites().config().prerequisites.at(index);
  QString text;
  if (info.verMin.isEmpty() && info.verMax.isEmpty())
    text = SetupStrings::text(Text::RequiredAny);
  else if (info.verMin.isEmpty())
    text = setupText(Text::RequiredOrLower, {info.verMax});
  else if (info.verMax.isEmpty())
    text = setupText(Text::RequiredOrHigher, {info.verMin});
  else
    text = setupText(Text::RequiredBetween, {info.verMin, info.verMax});
  const QStringList found = prerequisites().config().foundVersions.value(index);
  return text + (found.isEmpty() ? SetupStrings::text(Text::FoundNothing)
                                 : setupText(Text::Found, {found.join(QStringLiteral(", "))}));
}

void CPrerequisitesPage::onSetActive() {
  postTitle();
  const bool refill = sheet().takeRefillRequest();
  folder_->setText(QDir::toNativeSeparators(prerequisites().queue().downloadFolder()));
  if (!filled_ || refill)
    fill();
  else
    update();
}

void CPrerequisitesPage::fill() {
  filling_ = true;
  list_->clear();
  CPrerequisiteSet& set = prerequisites();
  for (int i = 0; i < set.count(); ++i) {
    const int state = set.baseStates.at(i);
    if (state == PrerequisiteState::NotForThisSystem) continue;
    auto* item =
        new QTreeWidgetItem(list_, {set.config().prerequisites.at(i).name, versionText(i), QString()});
    item->setData(0, kIndexRole, i);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, startsChecked(state) ? Qt::Checked : Qt::Unchecked);
    for (int column : {0, 1}) item->setToolTip(column, item->text(column));
  }
  filled_ = true;
  filling_ = false;
  update();
}

QString CPrerequisitesPage::actionText(int state) const {
  if (isInstallState(state)) return SetupStrings::text(Text::Install);
  switch (state) {
    case PrerequisiteState::Download:
      return SetupStrings::text(Text::Download);
    case PrerequisiteState::DownloadFailed:
      return SetupStrings::text(Text::NotFound);
    case PrerequisiteState::Installed:
      return SetupStrings::text(Text::Installed);
    case PrerequisiteState::OpenSite:
      return SetupStrings::text(Text::OpenSite);
    default:
      return SetupStrings::text(Text::Skip);
  }
}

void CPrerequisitesPage::update() {
  updatePosted_ = false;
  CPrerequisiteSet& set = prerequisites();
  downloads_ = installs_ = sites_ = 0;
  const QSignalBlocker blocker(list_);
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const int index = item->data(0, kIndexRole).toInt();
    const int state = set.ChosenStateFor(index, item->checkState(0) == Qt::Checked);
    set.chosenStates[index] = state;
    downloads_ += state == PrerequisiteState::Download;
    sites_ += state == PrerequisiteState::OpenSite;
    installs_ += isInstallState(state);
    item->setText(2, actionText(state));
  }
  nextStep_ = downloads_ ? DownloadStep : sites_ ? OpenSitesStep : installs_ ? InstallStep : NothingLeft;
  static const int pages[] = {CPrereqWizard::DownloadPage, CPrereqWizard::OpenSitesPage,
                              CPrereqWizard::InstallPage};
  setNextPage(nextStep_ == NothingLeft ? -1 : pages[nextStep_]);
  static const int texts[] = {Text::NextDownloads, Text::NextOpensSites, Text::NextInstalls};
  nextText_->setText(
      SetupStrings::text(nextStep_ == NothingLeft ? Text::FinishInstallsMain : texts[nextStep_]));
  const bool nothingLeft = nextStep_ == NothingLeft;
  setButtons(sheet().informationShown(), !nothingLeft, nothingLeft || set.MandatoryDone());
  browse_->setEnabled(downloads_ > 0);
}

void CPrerequisitesPage::postUpdate() {
  if (updatePosted_) return;
  updatePosted_ = true;
  QMetaObject::invokeMethod(this, &CPrerequisitesPage::update, Qt::QueuedConnection);
}

void CPrerequisitesPage::setChecked(QTreeWidgetItem* item, bool checked) {
  if (item) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

// A mandatory prerequisite that is missing cannot be unchecked; one not meant
// for this system cannot be checked.
void CPrerequisitesPage::checkChanged(QTreeWidgetItem* item, int column) {
  if (filling_ || column != 0) return;
  CPrerequisiteSet& set = prerequisites();
  const int index = item->data(0, kIndexRole).toInt();
  const bool checked = item->checkState(0) == Qt::Checked;
  if (checked == (set.chosenStates.at(index) != PrerequisiteState::Unchecked)) return;
  const bool refused = checked ? set.baseStates.at(index) == PrerequisiteState::NotForThisSystem
                               : set.isMandatory(index) && set.config().states.at(index) != 0;
  if (!refused) {
    postUpdate();
    return;
  }
  {
    const QSignalBlocker blocker(list_);
    setChecked(item, !checked);
  }
  if (!checked) ShowSetupError(SetupStrings::text(Text::Mandatory));
}

void CPrerequisitesPage::showMenu(const QPoint& at) {
  QTreeWidgetItem* item = list_->itemAt(at);
  if (!item) return;
  list_->setCurrentItem(item);
  const bool checked = item->checkState(0) == Qt::Checked;
  install_->setEnabled(!checked);
  skip_->setEnabled(checked);
  if (isHeadless()) return;
  QMenu menu(this);
  menu.addActions({install_, skip_});
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void CPrerequisitesPage::browse() {
  const QString folder = FolderBrowser::BrowseForFolder(this, SetupStrings::text(Text::SelectDownloadFolder));
  if (folder.isEmpty()) return;
  prerequisites().SetDownloadFolder(folder);
  folder_->setText(QDir::toNativeSeparators(prerequisites().queue().downloadFolder()));
  update();
}

bool CPrerequisitesPage::onWizNext() {
  update();
  if (nextStep_ == DownloadStep) prerequisites().QueueDownloads(prerequisites().chosenStates);
  return nextStep_ != NothingLeft;
}
