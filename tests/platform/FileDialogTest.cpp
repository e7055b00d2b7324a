#include <gtest/gtest.h>

#include "FileDialog.h"
#include "MessageBox.h"

TEST(FileDialog, FiltersBecomeQtFiltersWithEveryFileForStarDotStar) {
  const QList<QPair<QString, QString>> cases = {
      {"Job Ticket Files|*.kvt|All Files|*.*", "Job Ticket Files (*.kvt);;All Files (*)"},
      {"Document Files|*.plt;*.tif;*.ps|All Files|*.*", "Document Files (*.plt *.tif *.ps);;All Files (*)"},
      {"All Programs|*", "All Programs (*)"},
      {"Lonely description", ""},
      {"", ""},
  };
  for (const auto& [filter, expected] : cases) EXPECT_EQ(qtFilter(filter), expected) << filter.toStdString();
}

TEST(FileDialog, HeadlessDialogsCountAsCancelled) {
  ASSERT_TRUE(isHeadless());
  EXPECT_TRUE(pickFileToOpen(nullptr, "Open Job Ticket", "", "All Files|*.*").isEmpty());
  EXPECT_TRUE(pickFilesToOpen(nullptr, "Insert Documents", "", "All Files|*.*").isEmpty());
  EXPECT_TRUE(pickFileToSave(nullptr, "Save Job Ticket", "job.kvt", "All Files|*.*").isEmpty());
}

TEST(FileDialog, ATestAnswersInTheUsersPlace) {
  QList<FileDialogRequest> asked;
  setFileDialogAnswerer([&](const FileDialogRequest& request) {
    asked.append(request);
    return request.kind == FileDialogRequest::OpenFiles ? QStringList{"/a", "/b"} : QStringList{"/c"};
  });
  EXPECT_EQ(pickFilesToOpen(nullptr, "Insert", "", "F|*.plt"), (QStringList{"/a", "/b"}));
  EXPECT_EQ(pickFileToSave(nullptr, "Save", "job.kvt", "T|*.kvt"), QStringLiteral("/c"));
  setFileDialogAnswerer(nullptr);
  ASSERT_EQ(asked.size(), 2);
  EXPECT_EQ(asked[1].kind, FileDialogRequest::SaveFile);
  EXPECT_EQ(asked[1].title, QStringLiteral("Save"));
  EXPECT_EQ(asked[1].fileName, QStringLiteral("job.kvt"));
  EXPECT_EQ(asked[1].filter, QStringLiteral("T|*.kvt"));
}
