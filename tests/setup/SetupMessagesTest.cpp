#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QTest>
#include <functional>

#include "MessageBox.h"
#include "SetupMessages.h"
#include "SetupTexts.h"

namespace {

// The box MsgBox would show: its caption, then its text.
QString shownBy(const std::function<void()>& show) {
  QString shown;
  setMsgBoxAnswerer([&shown](const QString& text, int, const QString& title) {
    shown = title + ": " + text;
    return MsgBoxResult::Ok;
  });
  show();
  setMsgBoxAnswerer(nullptr);
  return shown;
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

// Every error box is captioned "Error" and worded in the setup's language.
TEST(SetupMessagesTest, EachErrorBoxSpeaksTheSetupsLanguage) {
  using SetupTexts::text;
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    const QString error = text(code, 224) + ": ";
    const std::pair<int, int> archiveErrors[] = {{2, 132}, {5, 129}, {4, 133}, {13, 133}, {14, 133}};
    for (const auto& [archiveError, id] : archiveErrors)
      EXPECT_EQ(shownBy([c = archiveError] { ShowArchiveError(c); }), error + text(code, id))
          << code.toStdString() << " " << archiveError;
    EXPECT_EQ(shownBy([] { ShowNoExecError("/tmp/x"); }),
              error + text(code, 227, {"/tmp/x"}) + "\n" + text(code, 228))
        << code.toStdString();
    EXPECT_EQ(shownBy([] { ShowCannotStart("/s/msiexec.exe"); }),
              error + text(code, 223, {"/s/msiexec.exe"}));
    EXPECT_EQ(shownBy([] { ShowUnsafeFolderError("/tmp/k"); }), error + text(code, 220, {"/tmp/k"}));
  }
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
    const QString text = SetupTexts::text(code, 144, {"KVTsetup.exe"});
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

// Where no one sees a box, it becomes one line on standard error, its caption
// joined to its text as the language joins them: the same "Error" form that
// the download and install rows show.
TEST(SetupMessagesTest, AHeadlessBoxJoinsItsCaptionAsItsLanguageDoes) {
  using SetupTexts::text;
  setHeadlessLine(captionLine);
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    EXPECT_EQ(captionLine("A", "b"), code == "fr" ? "A : b" : "A: b") << code.toStdString();
    EXPECT_EQ(captionLine(text(code, 224), "x"), text(code, 215, {"x"})) << code.toStdString();
    EXPECT_EQ(captionLine(text(code, 224), "x"), text(code, 176, {"x"})) << code.toStdString();
    testing::internal::CaptureStderr();
    ShowCannotStart("/s/msiexec.exe");
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()),
              text(code, 274, {text(code, 224), text(code, 223, {"/s/msiexec.exe"})}) + "\n")
        << code.toStdString();
  }
  setHeadlessLine(nullptr);
}
