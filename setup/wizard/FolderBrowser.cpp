#include "FolderBrowser.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "ButtonCaptions.h"
#include "MessageBox.h"

namespace FolderBrowser {

namespace {

Answer& testAnswer() {
  static Answer answer;
  return answer;
}

// The instruction above a tree of the file system's folders, with OK and Cancel:
// nothing else to read, so nothing that the setup's own words do not cover.
class FolderDialog : public QDialog {
 public:
  FolderDialog(QWidget* owner, const QString& title);
  QString folder() const;

 private:
  QTreeView* treeOfFolders();
  QDialogButtonBox* okAndCancel();
  void select(const QString& path);
  void showChoice();
  void followChoice();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QMetaObject::Connection following_;
};

FolderDialog::FolderDialog(QWidget* owner, const QString& title)
    : QDialog(owner), model_(new QFileSystemModel(this)), tree_(treeOfFolders()) {
  setWindowTitle(title);
  auto* instruction = new QLabel(title, this);
  instruction->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(instruction);
  layout->addWidget(tree_);
  layout->addWidget(okAndCancel());
  resize(std::max(360, captionWidth(title)), 420);
  select(QDir::homePath());
}

QString FolderDialog::folder() const {
  const QModelIndexList chosen = tree_->selectionModel()->selectedRows();
  return chosen.isEmpty() ? QString() : model_->filePath(chosen.first());
}

// Only the names of folders: the other columns and the header would speak Qt's
// words, and the top items are the folders of "/" rather than a "Computer".
QTreeView* FolderDialog::treeOfFolders() {
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath(QStringLiteral("/"));
  auto* tree = new QTreeView(this);
  tree->setModel(model_);
  tree->setRootIndex(model_->index(QStringLiteral("/")));
  tree->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree->hideColumn(column);
  tree->setUniformRowHeights(true);
  tree->sortByColumn(0, Qt::AscendingOrder);
  tree->setFocus();
  return tree;
}

QDialogButtonBox* FolderDialog::okAndCancel() {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setText(ButtonCaptions::standard(QDialogButtonBox::Ok));
  buttons->button(QDialogButtonBox::Cancel)->setText(ButtonCaptions::standard(QDialogButtonBox::Cancel));
  ok->setEnabled(false);
  connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, ok,
          [this, ok] { ok->setEnabled(!folder().isEmpty()); });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  return buttons;
}

void FolderDialog::select(const QString& path) {
  tree_->setCurrentIndex(model_->index(path));
  showChoice();
  followChoice();
}

void FolderDialog::showChoice() {
  tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

// The listings come in after the dialog opens and, sorted in, push the chosen
// folder out of view: it is brought back until the user scrolls, opens a
// folder or picks another.
void FolderDialog::followChoice() {
  following_ = connect(model_, &QAbstractItemModel::layoutChanged, this, &FolderDialog::showChoice);
  const auto stop = [this] { disconnect(following_); };
  connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, stop);
  connect(tree_, &QTreeView::expanded, this, stop);
  connect(tree_, &QTreeView::collapsed, this, stop);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, stop);
}

}  // namespace

QString BrowseForFolder(QWidget* owner, const QString& title) {
  if (testAnswer()) return testAnswer()(owner, title);
  FolderDialog dialog(owner, title);
  return execModal(dialog) == QDialog::Accepted ? dialog.folder() : QString();
}

void setAnswerForTests(Answer answer) { testAnswer() = std::move(answer); }

}  // namespace FolderBrowser
