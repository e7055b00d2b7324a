#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "PrivateProfile.h"
#include "TestEnv.h"

namespace {

using TestEnv::writeFile;

QString value(const QString& section, const QString& key, const QString& file) {
  QString result;
  PrivateProfile::getString(section, key, "(none)", result, 260, file);
  return result;
}

class PrivateProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { path = TestEnv::freshDir("ini") + "/setup.ini"; }
  QString path;
};

}  // namespace

TEST_F(PrivateProfileTest, TheFirstValueOfAKeyWinsAcrossSectionsOfOneName) {
  writeFile(path,
            "before=0\n[ S ] trailing\n a = 1 \n;b=comment\nnoequals\n[T]\na=2\n[s]\nA=3\nb=4\r\n"
            "[Names]\ncaf\xe9=\xe9t\xe9\nlast=line");
  const struct {
    const char* section;
    const char* key;
    QString expected;
  } cases[] = {
      {"S", "a", "1"},           {"s", "B", "4"},           {"T", "a", "2"},
      {"S", "before", "(none)"}, {"S", ";b", "(none)"},     {"S", "noequals", "(none)"},
      {"Names", "CAFÉ", "été"},  {"NAMES", "last", "line"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(value(c.section, c.key, path), c.expected) << c.section << " " << c.key;
}

TEST_F(PrivateProfileTest, AnUnchangedFileIsReadOnce) {
  QByteArray text = "[S]\n";
  for (int i = 0; i < 100; ++i) text += "k" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n";
  writeFile(path, text);
  const int before = PrivateProfile::readCount();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(value("S", QStringLiteral("k%1").arg(i), path), QString::number(i));
  EXPECT_EQ(value("S", "missing", path), "(none)");
  EXPECT_EQ(PrivateProfile::readCount(), before + 1);
}

TEST_F(PrivateProfileTest, ASnapshotServesOneReadingUntilItEnds) {
  writeFile(path, "[S]\na=1\n");
  {
    const PrivateProfile::Snapshot snapshot(path);
    const PrivateProfile::Snapshot nested(path);
    writeFile(path, "[S]\na=22\n");
    EXPECT_EQ(value("S", "a", path), "1");
  }
  EXPECT_EQ(value("S", "a", path), "22");
}

// Another file put in its place, the same file rewritten to the same size at
// once (within the clock tick of its times), or rewritten with its old
// modification time put back: each is seen at the next lookup.
TEST_F(PrivateProfileTest, AChangeOnDiskIsSeenAtTheNextLookup) {
  writeFile(path, "[S]\na=1\n");
  ASSERT_EQ(value("S", "a", path), "1");

  writeFile(path + ".new", "[S]\na=2\n");
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QFile::rename(path + ".new", path));
  EXPECT_EQ(value("S", "a", path), "2");

  writeFile(path, "[S]\na=3\n");
  EXPECT_EQ(value("S", "a", path), "3");

  const QByteArray native = QFile::encodeName(path);
  struct stat before {};
  ASSERT_EQ(::stat(native.constData(), &before), 0);
  writeFile(path, "[S]\na=4\n");
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
  EXPECT_EQ(value("S", "a", path), "4");

  ASSERT_TRUE(QFile::remove(path));
  EXPECT_EQ(value("S", "a", path), "(none)");
}
