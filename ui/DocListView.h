#pragma once

#include <QMimeData>
#include <QPointer>
#include <QTreeWidget>
#include <functional>

// The report-style list of the main window's documents. It hands its key,
// mouse and drag events to the window, which owns what they mean.
class DocListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit DocListView(QWidget* parent = nullptr);

  // The width the cell needs to show its text whole.
  int cellWidth(const QTreeWidgetItem* item, int column) const;

  std::function<void()> onClick;
  std::function<void(int key, Qt::KeyboardModifiers modifiers)> onKeyUp;
  std::function<void(const QPoint& globalPos)> onRightButtonUp;
  std::function<QMimeData*(const QList<QTreeWidgetItem*>& items)> onStartDrag;
  // `ownRows`: the data is this list's own drag data, so its rows may move.
  std::function<Qt::DropAction(const QMimeData* data, bool ownRows)> onDragOver;
  std::function<void(const QMimeData* data, const QPoint& pos, bool ownRows)> onDrop;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool acceptDrag(QDropEvent* event);
  bool ownData(const QMimeData* data) const { return data && data == ownDragData_; }

  // The data of the drag this list started last; rows of any other drag never move.
  mutable QPointer<QMimeData> ownDragData_;
};
