#include <gtest/gtest.h>

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

// Another file put in its place, or the file removed: each is seen at the next lookup.
TEST_F(PrivateProfileTest, AChangeOnDiskIsSeenAtTheNextLookup) {
  writeFile(path, "[S]\na=1\n");
  ASSERT_EQ(value("S", "a", path), "1");

  writeFile(path + ".new", "[S]\na=2\n");
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QFile::rename(path + ".new", path));
  EXPECT_EQ(value("S", "a", path), "2");

  ASSERT_TRUE(QFile::remove(path));
  EXPECT_EQ(value("S", "a", path), "(none)");
}

// An editor that rewrites the file in place to the same size and puts its times back. A look
// within the clock tick of the file's last change is not sure of its times, so the next one reads
// the file again; after that tick only the change time tells.
TEST_F(PrivateProfileTest, ARewriteInPlaceWithTheOldTimesIsSeenAtTheNextLookup) {
  for (const bool lookedAfterTheTick : {false, true}) {
    SCOPED_TRACE(lookedAfterTheTick);
    writeFile(path, "[S]\na=1\n");
    if (lookedAfterTheTick) TestEnv::waitPastLastChange(path);
    ASSERT_EQ(value("S", "a", path), "1");
    TestEnv::rewriteKeepingTimes(path, "[S]\na=2\n");
    EXPECT_EQ(value("S", "a", path), "2");
  }
}
