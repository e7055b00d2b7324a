#include <unistd.h>

#include <QFile>

#include "ContainedPath.h"
#include "PayloadTestSupport.h"

namespace {

using FileCreatorTest = PayloadTest;

// The folders of the last file stay open: a link put in place of one of them
// meanwhile is never followed, the next file goes where the last one went.
TEST_F(FileCreatorTest, ALinkPutInPlaceOfAFolderBetweenTwoFilesIsNeverFollowed) {
  const QString root = folder("root");
  const QString outside = folder("outside");
  ContainedPath::FileCreator files(root);
  ASSERT_TRUE(files.create("sub/first").valid());
  ASSERT_EQ(
      ::rename(QFile::encodeName(root + "sub").constData(), QFile::encodeName(root + "moved").constData()),
      0);
  ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(root + "sub").constData()),
            0);
  EXPECT_TRUE(files.create("sub/second").valid());
  EXPECT_TRUE(tree(outside).isEmpty());
  EXPECT_EQ(tree(root), QStringList({"moved/first", "moved/second", "sub"}));
}

// Removing a file removes the folders it empties; the next file in one makes it again.
TEST_F(FileCreatorTest, AFolderEmptiedByARemovalIsMadeAgainForTheNextFile) {
  const QString root = folder("root");
  ContainedPath::FileCreator files(root);
  ASSERT_TRUE(files.create("a/b/first").valid());
  files.remove("a/b/first");
  EXPECT_TRUE(tree(root).isEmpty());
  EXPECT_TRUE(files.create("a/b/second").valid());
  EXPECT_EQ(tree(root), QStringList{"a/b/second"});
}

}  // namespace
