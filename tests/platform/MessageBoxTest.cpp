#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QTest>

#include "MessageBox.h"

namespace {

// The labels of a columns box, by text, placed in the box.
QList<QLabel*> lineLabels(const QDialog& box) {
  QList<QLabel*> labels;
  for (QLabel* label : box.findChildren<QLabel*>())
    if (label->objectName() != QLatin1String("icon")) labels.append(label);
  return labels;
}

QLabel* labelWith(const QDialog& box, const QString& text) {
  for (QLabel* label : lineLabels(box))
    if (label->text() == text) return label;
  return nullptr;
}

class OwnedDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(600, 500);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  void TearDown() override { setDialogAnswerer(nullptr); }

  QMainWindow window;
};

}  // namespace

// Lines whose TABs align a description: each whole, the descriptions in one column.
TEST(ColumnsBox, ShowsEveryLineWholeWithTheDescriptionsInOneColumn) {
  const QString text = QStringLiteral(
      "Name [ticket]  [/OPTS option=value]  [/PRINT  [/QUIT] ]\r\n\r\n   where:\r\n"
      "          ticket\t\tIs the ticket to load.\r\n"
      "          /OPTS option=value\tSpecifies an option and a value.\r\n"
      "\t\t\tMultiple occurrences allowed. Document options must follow the /ADD docfile entry.\r\n"
      "          /QUIT\t\tQuit after printing.\r\n");
  const auto box = columnsBox(text, MsgBoxStyle::Information, QStringLiteral("Options"), nullptr);
  box->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
  EXPECT_EQ(box->windowTitle(), "Options");
  EXPECT_EQ(lineLabels(*box).size(), 11);
  const QStringList descriptions{
      "Is the ticket to load.", "Specifies an option and a value.",
      "Multiple occurrences allowed. Document options must follow the /ADD docfile entry.",
      "Quit after printing."};
  for (const QString& description : descriptions) {
    QLabel* label = labelWith(*box, description);
    ASSERT_NE(label, nullptr) << description.toStdString();
    EXPECT_EQ(label->x(), labelWith(*box, descriptions.first())->x()) << description.toStdString();
  }
  for (QLabel* label : lineLabels(*box)) {
    EXPECT_FALSE(label->wordWrap());
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
  }
  EXPECT_NE(labelWith(*box, "          /OPTS option=value"), nullptr);
  EXPECT_NE(labelWith(*box, "Name [ticket]  [/OPTS option=value]  [/PRINT  [/QUIT] ]"), nullptr);
  EXPECT_FALSE(box->findChild<QLabel*>("icon")->pixmap().isNull());
}

// However short its text, a box leaves its caption room for the title bar's
// icon and buttons, whether it lines its text up in columns or not.
TEST(MessageBoxWidth, ABoxIsAtLeastAsWideAsItsCaptionNeeds) {
  const char* captions[] = {"Printer Communication Error", "Erreur de communication avec l'imprimante",
                            "Fehler bei der Druckerkommunikation", "Befehlszeilenoptionen"};
  QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
  titleFont.setBold(true);
  const QFontMetrics title(titleFont);
  for (const char* caption : captions) {
    EXPECT_GE(captionWidth(caption), title.horizontalAdvance(caption) + 4 * title.height()) << caption;
    for (const QString& text : {QStringLiteral("Could not add printer."), QStringLiteral("a\tb")}) {
      const auto box = messageBox(text, MsgBoxStyle::Critical, caption, nullptr);
      box->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
      EXPECT_GE(box->width(), captionWidth(caption)) << caption << " " << text.toStdString();
    }
  }
}

TEST(DialogOwner, IsNoneWhileNoWindowIsShown) { EXPECT_EQ(dialogOwner(), nullptr); }

// A dialog belongs to the active window, or to the modal dialog in front of it.
TEST_F(OwnedDialogs, ADialogIsOwnedByAndCentredOnTheWindowItBelongsTo) {
  EXPECT_EQ(dialogOwner(), &window);
  QDialog dialog;
  dialog.resize(200, 100);
  QWidget* ownerInside = nullptr;
  QWidget* parentInside = nullptr;
  QPoint centreInside;
  setDialogAnswerer([&](QDialog& shown) {
    ownerInside = dialogOwner();
    parentInside = shown.parentWidget();
    centreInside = shown.geometry().center();
    shown.accept();
  });
  EXPECT_EQ(execModal(dialog), QDialog::Accepted);
  EXPECT_EQ(parentInside, &window);
  EXPECT_EQ(ownerInside, &dialog);
  EXPECT_LE((centreInside - window.geometry().center()).manhattanLength(), 2);
}

TEST_F(OwnedDialogs, ADialogWithAParentOfItsOwnKeepsIt) {
  QWidget other;
  QDialog dialog(&other);
  setDialogAnswerer([](QDialog& shown) { shown.accept(); });
  execModal(dialog);
  EXPECT_EQ(dialog.parentWidget(), &other);
}
