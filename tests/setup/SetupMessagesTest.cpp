#include <gtest/gtest.h>

#include "MessageBox.h"
#include "SetupMessages.h"

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
