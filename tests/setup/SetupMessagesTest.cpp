#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QTest>

#include "MLRuntime.h"
#include "MessageBox.h"
#include "SetupMessages.h"

namespace {

// The usage text of the language `code`, as the box shows it for "KVTsetup.exe".
QString usageText(const QString& code) {
  QFile file(":/setup-strings/" + code + ".txt");
  QHash<int, QString> table;
  EXPECT_TRUE(file.open(QIODevice::ReadOnly) && MLRuntime::StringTable::parseTable(file.readAll(), table));
  return table.value(144).replace("%s", "KVTsetup.exe");
}

}  // namespace

TEST(SetupMessagesTest, PlaceholdersAreFilledInOrder) {
  EXPECT_EQ(setupText(161, {"KVT"}), "KVT Setup");
  EXPECT_EQ(setupText(137, {"4.5", "3.1"}),
            "This package requires Windows Installer version \"4.5\". You have \"3.1\".\n"
            "Please upgrade your Windows Installer.");
  EXPECT_EQ(setupText(194, {"7", "1 KB", "2 KB"}), "Progress: 7% (1 KB of 2 KB)");
  EXPECT_EQ(setupText(153, {"%s"}), "Installing %s");
}

TEST(SetupMessagesTest, MissingValuesLeaveTheirPlaceholders) {
  EXPECT_EQ(setupText(164, {"1"}), "Required: between 1 and %s.");
}

// Every archive error code reaches the box with its own text.
TEST(SetupMessagesTest, EachArchiveErrorShowsItsText) {
  const std::pair<int, const char*> cases[] = {{2, "An error occurred while reading the file."},
                                               {5, "This archive is corrupted."},
                                               {4, "An error occurred while extracting."},
                                               {13, "An error occurred while extracting."},
                                               {14, "An error occurred while extracting."}};
  for (const auto& [code, text] : cases) {
    QString shown;
    setMsgBoxAnswerer([&shown](const QString& boxText, int, const QString&) {
      shown = boxText;
      return MsgBoxResult::Ok;
    });
    ShowArchiveError(code);
    EXPECT_EQ(shown, text) << code;
  }
  setMsgBoxAnswerer(nullptr);
}

// The languages with the longest usage lines still show each line whole.
TEST(SetupMessagesTest, TheUsageBoxShowsEveryLineWhole) {
  int style = 0;
  setMsgBoxAnswerer([&style](const QString&, int boxStyle, const QString&) {
    style = boxStyle;
    return MsgBoxResult::Ok;
  });
  ShowUsageBox("/tmp/KVTsetup.exe");
  setMsgBoxAnswerer(nullptr);
  for (const char* code : {"fr", "de"}) {
    const QString text = usageText(code);
    const auto box = messageBox(text, style, "KVTsetup", nullptr);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    QStringList shown;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
      if (label->objectName() == "icon") continue;
      shown.append(label->text());
      EXPECT_FALSE(label->wordWrap()) << code;
      EXPECT_GE(label->width(), label->sizeHint().width()) << code << " " << label->text().toStdString();
    }
    EXPECT_EQ(shown, text.split('\n')) << code;
  }
}

// The caption names the program without its extension, the text with it.
TEST(SetupMessagesTest, TheUsageBoxNamesTheProgramWithAndWithoutItsExtension) {
  const struct {
    const char* path;
    const char* caption;
    const char* commandLine;
  } cases[] = {{"/media/cd/Setup.exe", "Setup Options", "\nSetup.exe [options]\n"},
               {"/tmp/KVTsetup", "KVTsetup Options", "\nKVTsetup [options]\n"},
               {"/tmp/kvt.setup.exe", "kvt.setup Options", "\nkvt.setup.exe [options]\n"}};
  for (const auto& c : cases) {
    QString text, title;
    setMsgBoxAnswerer([&](const QString& boxText, int, const QString& boxTitle) {
      text = boxText;
      title = boxTitle;
      return MsgBoxResult::Ok;
    });
    ShowUsageBox(c.path);
    setMsgBoxAnswerer(nullptr);
    EXPECT_EQ(title, c.caption) << c.path;
    EXPECT_TRUE(text.startsWith("Command Line:" + QString(c.commandLine))) << text.toStdString();
  }
}
