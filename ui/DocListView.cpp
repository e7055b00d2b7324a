#include "DocListView.h"

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>

#include "DragFormats.h"

namespace {

// Qt's header keeps room for its text in bold, as a highlighted section shows
// it; this list never highlights one, so a section needs its plain text only.
class PlainTextHeader : public QHeaderView {
 public:
  explicit PlainTextHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

 protected:
  QSize sectionSizeFromContents(int logicalIndex) const override {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    const QString text = model()->headerData(logicalIndex, orientation()).toString();
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    size.setWidth(fontMetrics().horizontalAdvance(text) + 2 * margin);
    return size;
  }
};

}  // namespace

DocListView::DocListView(QWidget* parent) : QTreeWidget(parent) {
  auto* plainHeader = new PlainTextHeader(this);
  plainHeader->setDefaultAlignment(header()->defaultAlignment());
  setHeader(plainHeader);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
}

int DocListView::cellWidth(const QTreeWidgetItem* item, int column) const {
  return sizeHintForIndex(indexFromItem(item, column)).width();
}

// Ctrl+A is the window's: it selects the documents, not the defaults row.
void DocListView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) {
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void DocListView::keyReleaseEvent(QKeyEvent* event) {
  QTreeWidget::keyReleaseEvent(event);
  if (onKeyUp && !event->isAutoRepeat()) onKeyUp(event->key(), event->modifiers());
}

void DocListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && onClick) onClick();
  if (event->button() == Qt::RightButton && onRightButtonUp)
    onRightButtonUp(event->globalPosition().toPoint());
}

QStringList DocListView::mimeTypes() const { return {DragFormats::Rows, DragFormats::Files}; }

QMimeData* DocListView::mimeData(const QList<QTreeWidgetItem*>& items) const {
  QMimeData* data = onStartDrag ? onStartDrag(items) : nullptr;
  ownDragData_ = data;
  return data;
}

// Rows only ever move: the list's own drag offers nothing else.
void DocListView::startDrag(Qt::DropActions) {
  const QList<QTreeWidgetItem*> items = selectedItems();
  if (items.isEmpty()) return;
  QMimeData* data = mimeData(items);
  if (!data) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::MoveAction);
}

bool DocListView::acceptDrag(QDropEvent* event) {
  const Qt::DropAction action =
      onDragOver ? onDragOver(event->mimeData(), ownData(event->mimeData())) : Qt::IgnoreAction;
  if (action == Qt::IgnoreAction) {
    event->ignore();
    return false;
  }
  event->setDropAction(action);
  event->accept();
  return true;
}

void DocListView::dragEnterEvent(QDragEnterEvent* event) { acceptDrag(event); }

void DocListView::dragMoveEvent(QDragMoveEvent* event) {
  QTreeWidget::dragMoveEvent(event);
  acceptDrag(event);
}

// The window changes the job and rebuilds the rows; the view itself moves nothing,
// and nothing is left for the drag's source to remove.
void DocListView::dropEvent(QDropEvent* event) {
  setState(QAbstractItemView::NoState);
  stopAutoScroll();
  if (onDrop) onDrop(event->mimeData(), event->position().toPoint(), ownData(event->mimeData()));
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  viewport()->update();
}
