#pragma once

#include <QStyledItemDelegate>

class QTreeWidget;

// Rows of a report list that show their texts whole: a text wider than its
// column wraps, and its row grows to hold it (the list's own rows stay one
// line high whatever their texts).
class WrappedRows : public QStyledItemDelegate {
 public:
  explicit WrappedRows(QTreeWidget* list);

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  QTreeWidget* list_;
};
