#include "WrappedRows.h"

#include <QApplication>
#include <QTreeWidget>

WrappedRows::WrappedRows(QTreeWidget* list) : QStyledItemDelegate(list), list_(list) {
  list->setWordWrap(true);
  list->setItemDelegate(this);
}

// As wide as the text wants, for the columns to share the room by; as high as
// the text needs wrapped at its column's width. The style wraps a text at the
// width of the rectangle it is given.
QSize WrappedRows::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QStyle* style = list_->style() ? list_->style() : QApplication::style();
  const QSize natural = style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), list_);
  item.features |= QStyleOptionViewItem::WrapText;
  item.rect = QRect(0, 0, list_->columnWidth(index.column()), 1);
  const QSize wrapped = style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), list_);
  return {natural.width(), qMax(natural.height(), wrapped.height())};
}
