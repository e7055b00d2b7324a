#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>

#include "ListColumns.h"
#include "MLRuntime.h"

namespace {

const QStringList kLanguages = {"en", "fr", "de", "es", "it", "nl", "pt", "sv", "da", "nb"};

QHash<int, QString> texts(const QString& code) {
  QFile file(":/setup-strings/" + code + ".txt");
  QHash<int, QString> table;
  EXPECT_TRUE(file.open(QIODevice::ReadOnly) && MLRuntime::StringTable::parseTable(file.readAll(), table));
  return table;
}

// One list of the wizard: its header texts, the column that stretches, the
// least widths, which columns hold short texts that must show whole, and the
// texts its rows show (string ids, or plain texts for data such as names).
struct ListShape {
  const char* name;
  QList<int> headers;
  int stretch;
  QList<int> widths;
  QList<bool> whole;
  QList<QList<QVariant>> rows;
};

const QString kLongName = "Microsoft Visual C++ 2008 Runtime Redistributable Package (x86)";
const QString kLongUrl = "http://127.0.0.1/downloads/redistributables/2008/vcredist_x86_9.0.21022.8.exe";

const ListShape kLists[] = {
    {"prerequisites",
     {145, 167, 146},
     1,
     {100, 0, 80},
     {false, false, true},
     {{kLongName, 164, 147},
      {"Runtime Library", 160, 152},
      {"VB", 163, 151},
      {"X", 160, 148},
      {"Y", 160, 149},
      {"Z", 160, 150}}},
    {"download",
     {142, 192, 143},
     0,
     {100, 70, 80},
     {false, true, true},
     {{kLongUrl, "5242880 KB", 184}, {"b", "1 KB", 193}, {"c", "1 KB", 185}, {"d", "1 KB", 186}}},
    {"open sites", {182, 142}, 1, {100, 0}, {true, false}, {{"Runtime Library", kLongUrl}}},
    {"install", {169, 172}, 0, {0, 120}, {false, true}, {{kLongName, 174}, {"VB", 173}, {"X", 175}}},
};

QString shown(const QVariant& cell, const QHash<int, QString>& table) {
  return cell.typeId() == QMetaType::Int ? table.value(cell.toInt()) : cell.toString();
}

}  // namespace

// In every language no header is cut, and short texts such as an action or a
// status show whole beside long names and addresses.
TEST(ListColumnsTest, HeadersAndShortTextsAreWholeInEveryLanguage) {
  for (const QString& code : kLanguages) {
    const QHash<int, QString> table = texts(code);
    for (const ListShape& shape : kLists) {
      SCOPED_TRACE(code.toStdString() + " " + shape.name);
      QTreeWidget list;
      QStringList headers;
      for (int id : shape.headers) headers << table.value(id);
      list.setHeaderLabels(headers);
      new ListColumns(&list, shape.stretch, shape.widths);
      for (const QList<QVariant>& row : shape.rows) {
        QStringList cells;
        for (const QVariant& cell : row) cells << shown(cell, table);
        new QTreeWidgetItem(&list, cells);
      }
      list.resize(560, 200);
      list.show();
      QCoreApplication::processEvents();
      const QFontMetrics metrics(list.font());
      for (int c = 0; c < headers.size(); ++c) {
        EXPECT_GE(list.columnWidth(c), metrics.horizontalAdvance(headers[c])) << headers[c].toStdString();
        EXPECT_GE(list.columnWidth(c), shape.widths[c]);
        for (int r = 0; shape.whole[c] && r < list.topLevelItemCount(); ++r)
          EXPECT_GE(list.columnWidth(c), metrics.horizontalAdvance(list.topLevelItem(r)->text(c)))
              << list.topLevelItem(r)->text(c).toStdString();
      }
    }
  }
}

// When the rows want more than the list has, the columns that do not stretch
// share what is left and the stretching one keeps its header.
TEST(ListColumnsTest, LongRowsShareTheRoomAndTheStretchingColumnKeepsItsHeader) {
  QTreeWidget list;
  list.setHeaderLabels({"Name", "Version", "Action"});
  new ListColumns(&list, 1, {100, 0, 80});
  new QTreeWidgetItem(&list, {QString(40, 'n'), "v", QString(40, 'a')});
  list.resize(400, 200);
  list.show();
  QCoreApplication::processEvents();
  const int viewport = list.viewport()->width();
  const QFontMetrics metrics(list.font());
  EXPECT_GE(list.columnWidth(1), metrics.horizontalAdvance("Version"));
  EXPECT_LE(list.columnWidth(0) + list.columnWidth(1) + list.columnWidth(2), viewport);
  EXPECT_GT(list.columnWidth(0), 100);
  EXPECT_GT(list.columnWidth(2), 80);

  list.resize(1200, 200);
  QCoreApplication::processEvents();
  EXPECT_GE(list.columnWidth(0), metrics.horizontalAdvance(QString(40, 'n'))) << "wider, the rows fit";
}

TEST(ListColumnsTest, TheListIsNeverNarrowerThanItsHeaders) {
  QTreeWidget list;
  list.setHeaderLabels({QString(40, 'h'), "URL"});
  new ListColumns(&list, 1, {100, 0});
  const QFontMetrics metrics(list.font());
  EXPECT_GT(list.minimumWidth(),
            metrics.horizontalAdvance(QString(40, 'h')) + metrics.horizontalAdvance("URL"));
}
