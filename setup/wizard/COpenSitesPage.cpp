#include "COpenSitesPage.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CBootstrapConfig.h"
#include "CPrerequisiteSet.h"
#include "ListColumns.h"
#include "MessageBox.h"
#include "SetupMessages.h"
#include "SetupStrings.h"

namespace {

namespace Text {
constexpr int Url = 142;
constexpr int FinishWhenDone = 170;
constexpr int NextInstalls = 171;
constexpr int Prerequisite = 182;
constexpr int StillMissing = 188;
constexpr int OpenInBrowser = 32773;
constexpr int CopyUrl = 32775;
}  // namespace Text

constexpr int kUrlColumn = 1;

QAction* menuAction(QObject* parent, int id) {
  auto* action = new QAction(SetupStrings::text(id), parent);
  action->setObjectName(QString::number(id));
  return action;
}

}  // namespace

COpenSitesPage::COpenSitesPage(CPrereqWizard& wizard)
    : CPrereqWizardPage(wizard),
      list_(new QTreeWidget(this)),
      text_(new QLabel(this)),
      open_(menuAction(this, Text::OpenInBrowser)),
      copy_(menuAction(this, Text::CopyUrl)) {
  list_->setObjectName(QStringLiteral("1007"));
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels({SetupStrings::text(Text::Prerequisite), SetupStrings::text(Text::Url)});
  new ListColumns(list_, kUrlColumn, {100, 0});
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  text_->setObjectName(QStringLiteral("1029"));
  text_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_, 1);
  layout->addWidget(text_);

  connect(list_, &QTreeWidget::itemDoubleClicked, this, &COpenSitesPage::openSite);
  connect(list_, &QWidget::customContextMenuRequested, this, &COpenSitesPage::showMenu);
  connect(open_, &QAction::triggered, this, [this] { openSite(list_->currentItem()); });
  connect(copy_, &QAction::triggered, this, &COpenSitesPage::copyUrl);
}

void COpenSitesPage::onSetActive() {
  postTitle();
  CPrerequisiteSet& set = prerequisites();
  list_->clear();
  for (int i = 0; i < set.count(); ++i) {
    if (set.chosenStates.at(i) != PrerequisiteState::OpenSite) continue;
    const PrerequisiteInfo& info = set.config().prerequisites.at(i);
    auto* item = new QTreeWidgetItem(list_, {info.name, info.location});
    item->setToolTip(kUrlColumn, info.location);
  }
  set.RunOpenSitePass(nullptr);
  const bool installs = set.AnyInstall();
  setNextPage(installs ? CPrereqWizard::InstallPage : -1);
  setButtons(true, installs, !installs);
  text_->setText(installs ? SetupStrings::text(Text::NextInstalls)
                          : setupText(Text::FinishWhenDone, {sheet().productText()}));
}

void COpenSitesPage::showMenu(const QPoint& at) {
  QTreeWidgetItem* item = list_->itemAt(at);
  if (!item) return;
  list_->setCurrentItem(item);
  if (isHeadless()) return;
  QMenu menu(this);
  menu.addActions({open_, copy_});
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void COpenSitesPage::openSite(QTreeWidgetItem* item) {
  if (item) CPrerequisiteSet::OpenUrlViaShortcut(item->text(kUrlColumn));
}

void COpenSitesPage::copyUrl() {
  if (const QTreeWidgetItem* item = list_->currentItem())
    QGuiApplication::clipboard()->setText(item->text(kUrlColumn));
}

// Finishing is allowed once nothing chosen is missing any more.
bool COpenSitesPage::onWizFinish() {
  CPrerequisiteSet& set = prerequisites();
  set.RedetectAll();
  sheet().requestRefill();
  if (!set.HasPendingWork()) return true;
  ShowSetupError(SetupStrings::text(Text::StillMissing));
  sheet().goToPage(CPrereqWizard::PrerequisitesPage);
  return false;
}
