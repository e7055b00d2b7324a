#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <vector>

#include "FolderWalk.h"
#include "NewEntry.h"
#include "TestEnv.h"
#include "TreeRemoval.h"

namespace {

// Lowers this process's descriptor limit to what it has open and `more`, while it lives.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(int more) {
    ::getrlimit(RLIMIT_NOFILE, &m_before);
    const rlimit lowered{rlim_t(highestOpen() + 1 + more), m_before.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_before); }

 private:
  static int highestOpen() {
    int highest = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (const dirent* entry = ::readdir(dir)) highest = std::max(highest, std::atoi(entry->d_name));
    ::closedir(dir);
    return highest;
  }
  rlimit m_before{};
};

class FolderWalkTest : public ::testing::Test {
 protected:
  void SetUp() override { m_root = TestEnv::freshDir("walk") + "/"; }

  FolderWalk walk(FolderWalk::LinkLevel links = FolderWalk::LinkLevel::Fails) const {
    return FolderWalk(
        UniqueFd(::open(QFile::encodeName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), links);
  }

  static std::vector<std::string> levels(int depth, const std::string& name = "a") {
    return std::vector<std::string>(size_t(depth), name);
  }

  QString m_root;
};

// 2,000 levels are made, reached again and removed with room for no more descriptors than the
// walk holds, the root and a listing.
TEST_F(FolderWalkTest, AnyDepthTakesNoMoreDescriptorsThanTheWalkHolds) {
  FolderWalk deep = walk();
  const std::vector<std::string> path = levels(2000);
  const DescriptorLimit limit(int(FolderWalk::kHeldLevels) + 3);
  const int folder = deep.open(path, true);
  ASSERT_GE(folder, 0);
  const UniqueFd file = NewEntry::file(folder, "f", 0644);
  ASSERT_TRUE(file.valid());
  EXPECT_GE(deep.open(path, 1000, false), 0);
  EXPECT_GE(deep.open(path, false), 0);
  EXPECT_TRUE(TreeRemoval::removeTree(deep, {}, "a"));
  EXPECT_TRUE(QDir(m_root).isEmpty());
}

TEST_F(FolderWalkTest, ALinkAtALevelFailsTheWalkOrIsReplacedByAFolder) {
  const QString outside = TestEnv::freshDir("walk-outside");
  for (const auto links : {FolderWalk::LinkLevel::Fails, FolderWalk::LinkLevel::Replaced}) {
    const bool replaced = links == FolderWalk::LinkLevel::Replaced;
    SCOPED_TRACE(replaced);
    ASSERT_TRUE(QDir().mkpath(m_root + "a"));
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(m_root + "a/b").constData()), 0);
    FolderWalk folders = walk(links);
    const std::vector<std::string> path = {"a", "b", "c"};
    EXPECT_EQ(folders.open(path, false), -1);
    EXPECT_EQ(folders.open(path, true) >= 0, replaced);
    EXPECT_TRUE(QDir(outside).isEmpty());
    EXPECT_EQ(QFileInfo(m_root + "a/b").isSymLink(), !replaced);
    ASSERT_TRUE(TreeRemoval::removeTree(folders, {}, "a"));
  }
}

// A removal takes a link as itself, names that are no UTF-8 as they are, and wide folders whole.
TEST_F(FolderWalkTest, RemovalTakesLinksAsThemselvesAndAnyNameAndWidth) {
  const QString outside = TestEnv::freshDir("walk-kept");
  TestEnv::writeFile(outside + "/kept.txt", "kept");
  FolderWalk folders = walk();
  const int top = folders.open({"t"}, true);
  ASSERT_GE(top, 0);
  ASSERT_TRUE(NewEntry::link(top, "out", QFile::encodeName(outside).toStdString()));
  for (int n = 0; n < 300; ++n) {
    const std::string name = "sub" + std::to_string(n);
    ASSERT_GE(folders.open({"t", name, "caf\xE9"}, true), 0);
    ASSERT_TRUE(NewEntry::file(folders.open({"t", name, "caf\xE9"}, false), "\xFF\xFE", 0644).valid());
  }
  EXPECT_TRUE(TreeRemoval::removeTree(folders, {}, "t"));
  EXPECT_TRUE(QDir(m_root).isEmpty());
  EXPECT_EQ(TestEnv::readFile(outside + "/kept.txt"), "kept");
}

// What stands at a new entry's name is replaced as itself; a hard link to the very name stays.
TEST_F(FolderWalkTest, ANewEntryReplacesWhatStandsAtItsNameButNeverItself) {
  const QString outside = TestEnv::freshDir("walk-target");
  TestEnv::writeFile(outside + "/target", "mine");
  FolderWalk folders = walk();
  const int root = folders.open({}, false);
  ASSERT_TRUE(NewEntry::link(root, "name", QFile::encodeName(outside + "/target").toStdString()));
  const UniqueFd file = NewEntry::file(root, "name", 0644);
  ASSERT_TRUE(file.valid());
  ASSERT_EQ(::write(file.get(), "new", 3), 3);
  EXPECT_FALSE(QFileInfo(m_root + "name").isSymLink());
  EXPECT_EQ(TestEnv::readFile(outside + "/target"), "mine");
  EXPECT_TRUE(NewEntry::hardLink(root, "name", root, "name"));
  EXPECT_EQ(TestEnv::readFile(m_root + "name"), "new");
  ASSERT_TRUE(QDir().mkpath(m_root + "folder/inside"));
  EXPECT_FALSE(NewEntry::link(root, "folder", "x"));
  EXPECT_TRUE(QFileInfo(m_root + "folder/inside").isDir());
}

}  // namespace
