// The document list of the main window: the options the selected rows share,
// its keys and pop-up menu, and dragging rows and dropping files.

#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "Ansi.h"
#include "DocListView.h"
#include "DragFormats.h"
#include "clsJob.h"
#include "frmMain.h"

QTreeWidgetItem* frmMain::addRow(const QString& key, const QString& text) {
  auto* item = new QTreeWidgetItem(lvDocs);
  item->setData(0, Qt::UserRole, key);
  item->setText(0, text);
  return item;
}

// Shows what the selected rows have in common: an option missing in one of
// them, or set differently, is shown as mixed. The rows' own sets stay untouched.
void frmMain::lvDocs_Click() {
  std::unique_ptr<clsPJLOptionSet> merged;
  for (int index = 0; index < lvDocs->topLevelItemCount(); ++index) {
    const QTreeWidgetItem* item = lvDocs->topLevelItem(index);
    if (!item->isSelected()) continue;
    const clsPJLOptionSet* opts = rowOptions(item);
    if (!opts) continue;
    if (!merged) {
      merged = opts->Clone(false, false);
      continue;
    }
    for (const QString& name : merged->optionNames()) {
      const clsPJLOption* own = opts->option(name);
      if (!own || own->value() != merged->option(name)->value()) merged->jobOptions.remove(name);
    }
  }
  if (merged) ShowOptions(*merged);
}

void frmMain::lvDocs_KeyUp(int key, Qt::KeyboardModifiers modifiers) {
  switch (key) {
    case Qt::Key_Delete:
      mnuEditDelete->trigger();
      break;
    case Qt::Key_A:
      if (modifiers == Qt::ControlModifier) {
        for (int index = 1; index < lvDocs->topLevelItemCount(); ++index)
          lvDocs->topLevelItem(index)->setSelected(true);
      }
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      lvDocs_Click();
      break;
    default:
      break;
  }
}

// The Edit menu pops up at the pointer, with View as its default item.
void frmMain::lvDocs_RightButtonUp(const QPoint& globalPos) {
  mnuEdit->setDefaultAction(mnuEditView);
  connect(
      mnuEdit, &QMenu::aboutToHide, this, [this] { mnuEdit->setDefaultAction(nullptr); },
      Qt::SingleShotConnection);
  mnuEdit->popup(globalPos);
}

QMimeData* frmMain::lvDocs_StartDrag(const QList<QTreeWidgetItem*>&) {
  QString keys;
  for (int index = 0; index < lvDocs->topLevelItemCount(); ++index) {
    const QTreeWidgetItem* item = lvDocs->topLevelItem(index);
    if (item->isSelected() && rowKey(item) != DefaultRowKey) keys += rowKey(item);
  }
  auto* data = new QMimeData;
  data->setData(DragFormats::Rows, toAnsi(keys));
  return data;
}

// Rows move only within this list; files from elsewhere are copied in.
Qt::DropAction frmMain::lvDocs_DragOver(const QMimeData* data, bool ownRows) const {
  if (ownRows && data->hasFormat(DragFormats::Rows)) return Qt::MoveAction;
  if (data->hasUrls()) return Qt::CopyAction;
  return Qt::IgnoreAction;
}

// Documents land before the row that follows the one under the pointer: on
// the defaults row they go first, on the last row (or below it) at the end.
qint32 frmMain::dropPosition(const QPoint& pos) const {
  QTreeWidgetItem* target = lvDocs->itemAt(pos);
  if (!target) return -1;
  const int index = lvDocs->indexOfTopLevelItem(target);
  if (index + 1 >= lvDocs->topLevelItemCount()) return -1;
  return rowKey(lvDocs->topLevelItem(index + 1)).mid(1).toInt();
}

void frmMain::lvDocs_Drop(const QMimeData* data, const QPoint& pos, bool ownRows) {
  const qint32 position = dropPosition(pos);
  if (ownRows && data->hasFormat(DragFormats::Rows)) {
    QList<qint32> ids;
    for (const QString& piece : fromAnsi(data->data(DragFormats::Rows)).split(QLatin1Char('x')))
      if (!piece.isEmpty()) ids.append(piece.toInt());
    gJob->moveDocs(ids, position);
    RefreshFromJob();
    return;
  }
  if (!data->hasUrls()) return;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) gJob->addDoc(position, url.toLocalFile());
  RefreshFromJob();
}
