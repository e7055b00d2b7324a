#include "ListColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <numeric>

ListColumns::ListColumns(QTreeWidget* list, int stretchColumn, const QList<int>& widths)
    : QObject(list), list_(list), stretchColumn_(stretchColumn), widths_(widths) {
  QHeaderView* header = list->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(stretchColumn, QHeaderView::Stretch);
  int headers = 0;
  for (int column = 0; column < widths.size(); ++column) headers += leastWidth(column);
  list->setMinimumWidth(headers + 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width());
  list->viewport()->installEventFilter(this);
  const QAbstractItemModel* model = list->model();
  connect(model, &QAbstractItemModel::rowsInserted, this, &ListColumns::fit);
  connect(model, &QAbstractItemModel::dataChanged, this, &ListColumns::fit);
  fit();
}

int ListColumns::leastWidth(int column) const {
  return qMax(widths_.at(column), list_->header()->sectionSizeHint(column));
}

// When the list is too narrow for all that the rows want beyond the least
// widths, the smaller wants are met in full and the larger ones share the
// rest equally; the stretching column's share is what the others leave.
void ListColumns::fit() {
  const QAbstractItemView* view = list_;
  const int columns = int(widths_.size());
  QList<int> least(columns);
  QList<int> wants(columns);
  int room = list_->viewport()->width();
  for (int column = 0; column < columns; ++column) {
    least[column] = leastWidth(column);
    room -= least[column];
    wants[column] = qMax(0, view->sizeHintForColumn(column) - least[column]);
  }
  QList<int> order(columns);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return wants[a] < wants[b]; });
  room = qMax(0, room);
  for (int i = 0; i < columns; ++i) {
    const int column = order[i];
    const int given = qMin(wants[column], room / (columns - i));
    room -= given;
    if (column != stretchColumn_) list_->setColumnWidth(column, least[column] + given);
  }
  // Wrapped rows take the height their texts need at the new widths.
  if (list_->wordWrap()) list_->doItemsLayout();
}

bool ListColumns::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) fit();
  return QObject::eventFilter(watched, event);
}
