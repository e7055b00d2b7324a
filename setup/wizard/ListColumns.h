#pragma once

#include <QList>
#include <QObject>

class QTreeWidget;

// Keeps the columns of a report list readable in every language: each column
// is at least its given width and its header's width, and as wide as its rows
// as far as the list's width allows, short rows first; the stretching column
// takes the rest. The list is never narrower than its headers.
class ListColumns : public QObject {
  Q_OBJECT

 public:
  // `widths` has one entry a column; the stretching column's is its least width.
  ListColumns(QTreeWidget* list, int stretchColumn, const QList<int>& widths);

  void fit();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int leastWidth(int column) const;

  QTreeWidget* list_;
  int stretchColumn_;
  QList<int> widths_;
};
