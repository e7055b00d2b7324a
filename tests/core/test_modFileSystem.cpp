#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TestEnv.h"
#include "modFileSystem.h"

namespace {

QString touch(const QString& path) {
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  return path;
}

class UniquePath : public ::testing::Test {
 protected:
  void SetUp() override { dir = TestEnv::freshDir("t"); }
  QString at(const QString& name) const { return dir + "/" + name; }
  QString unique(const QString& name, bool allowFolder = false) const {
    QString sep;
    return GetUniquePath(at(name), allowFolder, sep);
  }
  QString dir;
};

}  // namespace

TEST(PathParts, SplitNativePaths) {
  EXPECT_EQ(GetParentFolderName("/t/a.txt"), "/t");
  EXPECT_EQ(GetParentFolderName("/a.txt"), "/");
  EXPECT_EQ(GetParentFolderName("/t/sub/"), "/t");
  EXPECT_EQ(GetParentFolderName("a.txt"), "");
  EXPECT_EQ(GetFileName("/t/a.b.txt"), "a.b.txt");
  EXPECT_EQ(ExtractFileName("/t/a.b.txt"), "a.b.txt");
  EXPECT_EQ(GetBaseName("/t/a.b.txt"), "a.b");
  EXPECT_EQ(GetExtensionName("/t/a.b.txt"), "txt");
  EXPECT_EQ(GetExtensionName("/t.d/readme"), "");
  EXPECT_EQ(GetBaseName("/t/.profile"), "");
  EXPECT_EQ(GetExtensionName("/t/.profile"), "profile");
}

TEST_F(UniquePath, FreePathComesBackUnchanged) { EXPECT_EQ(unique("a.txt"), at("a.txt")); }

TEST_F(UniquePath, TakenPathGetsACounter) {
  touch(at("a.txt"));
  EXPECT_EQ(unique("a.txt"), at("a_0.txt"));
  touch(at("a_0.txt"));
  EXPECT_EQ(unique("a.txt"), at("a_1.txt"));
}

TEST_F(UniquePath, ExistingCounterCountsOnInItsWidth) {
  touch(at("a_07.txt"));
  EXPECT_EQ(unique("a_07.txt"), at("a_08.txt"));
}

TEST_F(UniquePath, NumericNameCountsWithoutSeparator) {
  touch(at("2024.log"));
  QString sep;
  EXPECT_EQ(GetUniquePath(at("2024.log"), false, sep), at("2025.log"));
  EXPECT_TRUE(sep.isEmpty());
}

TEST_F(UniquePath, WidthComesFromTheTextAfterTheSeparator) {
  touch(at("my_file.txt"));
  EXPECT_EQ(unique("my_file.txt"), at("my_file_0000.txt"));
}

TEST_F(UniquePath, CountersGrowPastTheirWidth) {
  touch(at("a_9.txt"));
  EXPECT_EQ(unique("a_9.txt"), at("a_10.txt"));
}

TEST_F(UniquePath, EmptySeparatorBecomesUnderscoreForTheCaller) {
  QString sep;
  GetUniquePath(at("x.txt"), false, sep);
  EXPECT_EQ(sep, "_");
}

TEST_F(UniquePath, FoldersCountAsFreeOnlyWhenAllowed) {
  QDir(dir).mkdir("out");
  EXPECT_EQ(unique("out", true), at("out"));
  EXPECT_EQ(unique("out", false), at("out_0"));
  touch(at("logs"));
  EXPECT_EQ(unique("logs", true), at("logs_0"));
}

TEST(Folders, CreateFolderPathMakesEveryParent) {
  const QString deep = TestEnv::sandbox() + "/a/b/c";
  CreateFolderPath(deep);
  EXPECT_TRUE(PathExists(deep, true));
  EXPECT_FALSE(PathExists(deep, false));
  const QString file = touch(TestEnv::sandbox() + "/plain");
  CreateFolderPath(file + "/below");
  EXPECT_FALSE(PathExists(file + "/below", true));
}

TEST(Folders, SizesAndListings) {
  const QString root = TestEnv::freshDir("sized");
  QDir(root).mkpath("Sub/inner");
  QDir(root).mkpath("alpha");
  for (const auto& [name, size] : {std::pair{"b.plt", 10}, {"A.pdf", 20}, {"Sub/inner/c.bin", 30}}) {
    QFile f(root + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
  }
  EXPECT_EQ(GetPathSize(root), 60);
  EXPECT_EQ(GetPathSize(root + "/b.plt"), 10);
  EXPECT_EQ(GetPathSize(root + "/none"), 0);
  EXPECT_EQ(GetFileNames(root), (QStringList{"A.pdf", "b.plt"}));
  EXPECT_EQ(GetSubFolderNames(root), (QStringList{"alpha", "Sub"}));
  bool ok = true;
  EXPECT_TRUE(GetFileNames(root + "/none", &ok).isEmpty());
  EXPECT_FALSE(ok);
}

// Opening a FIFO for reading would wait for a writer: only a regular file, links
// followed, is a file, and nothing else is opened.
TEST(DocumentFiles, OnlyARegularFileLinksFollowedIsAFileAndOpened) {
  const QString dir = TestEnv::freshDir("kinds");
  const QString file = dir + "/plan.plt";
  TestEnv::writeFile(file, "PA0,0;");
  const QString fifo = dir + "/plan.fifo";
  TestEnv::makeFifo(fifo);
  QFile::link(file, dir + "/link.plt");
  QFile::link(dir + "/loop", dir + "/loop");
  QFile::link(dir + "/gone.plt", dir + "/dangling.plt");
  const struct {
    QString path;
    PathKind kind;
  } cases[] = {
      {file, PathKind::File},
      {dir + "/link.plt", PathKind::File},
      {fifo, PathKind::NotAFile},
      {dir, PathKind::NotAFile},
      {"/dev/zero", PathKind::NotAFile},
      {dir + "/loop", PathKind::NotAFile},
      {dir + "/dangling.plt", PathKind::Missing},
      {dir + "/none.plt", PathKind::Missing},
      {file + "/under-a-file", PathKind::Missing},
      {QString(), PathKind::Missing},
  };
  for (const auto& c : cases) {
    const bool isFile = c.kind == PathKind::File;
    EXPECT_EQ(pathKind(c.path), c.kind) << c.path.toStdString();
    QFile opened;
    EXPECT_EQ(openRegularFile(opened, c.path), isFile) << c.path.toStdString();
    EXPECT_EQ(opened.isOpen(), isFile) << c.path.toStdString();
    if (isFile) {
      EXPECT_EQ(opened.readAll(), "PA0,0;") << c.path.toStdString();
    }
  }
}
