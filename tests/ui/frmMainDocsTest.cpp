#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "DragFormats.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "frmMainTest.h"

namespace {

// A job of six documents, "d0.plt" to "d5.plt", with ids 0 to 5.
class DocumentListTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    for (int id = 0; id < 6; ++id) addDocument(QStringLiteral("d%1.plt").arg(id));
    open();
  }
  // The list's own drag data for the selected rows.
  QMimeData* dragRows(std::initializer_list<int> rows) {
    select(rows);
    QModelIndexList indexes;
    for (QTreeWidgetItem* item : window->lvDocs->selectedItems())
      indexes.append(window->lvDocs->model()->index(window->lvDocs->indexOfTopLevelItem(item), 0));
    return window->lvDocs->model()->mimeData(indexes);
  }
  void dropOn(const QMimeData* data, int rowIndex) {
    const QPoint at = rowIndex < 0 ? QPoint(20, window->lvDocs->viewport()->height() - 4)
                                   : window->lvDocs->visualItemRect(row(rowIndex)).center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->lvDocs->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->lvDocs->viewport(), &drop);
  }
  QStringList names() const { return column(0).mid(1); }
};

}  // namespace

TEST_F(DocumentListTest, RowsDraggedOntoTheDefaultsRowGoFirstInListOrder) {
  std::unique_ptr<QMimeData> data(dragRows({6, 3}));
  EXPECT_EQ(data->data(DragFormats::Rows), "x2x5");
  dropOn(data.get(), 0);
  EXPECT_EQ(names(), (QStringList{"d2.plt", "d5.plt", "d0.plt", "d1.plt", "d3.plt", "d4.plt"}));
  // Keys keep their ids.
  EXPECT_EQ(frmMain::rowKey(row(1)), "x2");
}

TEST_F(DocumentListTest, RowsDroppedOnTheLastRowOrBelowAreAppended) {
  std::unique_ptr<QMimeData> data(dragRows({1, 3}));
  dropOn(data.get(), 6);
  EXPECT_EQ(names(), (QStringList{"d1.plt", "d3.plt", "d4.plt", "d5.plt", "d0.plt", "d2.plt"}));
  std::unique_ptr<QMimeData> again(dragRows({1}));
  dropOn(again.get(), -1);
  EXPECT_EQ(names(), (QStringList{"d3.plt", "d4.plt", "d5.plt", "d0.plt", "d2.plt", "d1.plt"}));
}

TEST_F(DocumentListTest, DraggingTheDefaultsRowAloneMovesNothing) {
  std::unique_ptr<QMimeData> data(dragRows({0}));
  EXPECT_EQ(data->data(DragFormats::Rows), "");
  dropOn(data.get(), 2);
  EXPECT_EQ(names(), (QStringList{"d0.plt", "d1.plt", "d2.plt", "d3.plt", "d4.plt", "d5.plt"}));
}

TEST_F(DocumentListTest, RowsFromAnotherListAreNotMoved) {
  QMimeData foreign;
  foreign.setData(DragFormats::Rows, "x4");
  dropOn(&foreign, 0);
  EXPECT_EQ(names(), (QStringList{"d0.plt", "d1.plt", "d2.plt", "d3.plt", "d4.plt", "d5.plt"}));
}

TEST_F(DocumentListTest, DroppedFilesAreInsertedInTheirOrderBeforeTheNextRow) {
  const QString folder = TestEnv::freshDir("dropped");
  QList<QUrl> urls;
  for (const char* name : {"z.plt", "a.plt", "m.plt"}) {
    QFile file(QDir(folder).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    urls.append(QUrl::fromLocalFile(file.fileName()));
  }
  QMimeData data;
  data.setUrls(urls);
  dropOn(&data, 2);
  EXPECT_EQ(names(), (QStringList{"d0.plt", "d1.plt", "z.plt", "a.plt", "m.plt", "d2.plt", "d3.plt", "d4.plt",
                                  "d5.plt"}));
  EXPECT_EQ(gJob->documentCount(), 9);
}

TEST_F(DocumentListTest, CtrlASelectsTheDocumentsWithoutRefreshingTheControls) {
  gJob->document(0)->opts->setPjlOpt("PAPER", "ANSI_E");
  select({0});
  EXPECT_TRUE(row(0)->isSelected());
  QTest::keyClick(window->lvDocs, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(window->lvDocs->selectedItems().size(), 1);
  select({1});
  QTest::keyClick(window->lvDocs, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(window->lvDocs->selectedItems().size(), 6);
  EXPECT_FALSE(row(0)->isSelected());
  EXPECT_EQ(window->cboSize->currentText(), "ANSI_E");
  EXPECT_NE(window->cboSize->palette().color(QPalette::Base), frmMain::mixedColour(window->palette()));
  QTest::keyClick(window->lvDocs, Qt::Key_Space);
  EXPECT_EQ(window->cboSize->palette().color(QPalette::Base), frmMain::mixedColour(window->palette()));
}
