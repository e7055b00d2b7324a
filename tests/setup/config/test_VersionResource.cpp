#include <gtest/gtest.h>

#include "TestEnv.h"
#include "VersionBlockWriter.h"
#include "VersionResource.h"

namespace {

const QList<std::pair<QString, QString>> kStrings = {{"CompanyName", "Pelva"},
                                                     {"ProductName", "Runtime Pack"}};

void setWord(QByteArray& bytes, qsizetype at, quint16 value) {
  bytes[at] = char(value & 0xFF);
  bytes[at + 1] = char(value >> 8);
}

// Where the first string entry ("CompanyName") starts inside a block.
qsizetype firstEntryOffset(const QByteArray& block) {
  const QByteArray key("C\0o\0m\0p\0a\0n\0y\0", 14);
  return block.indexOf(key) - 6;
}

}  // namespace

TEST(VersionResource, ReadsTheFixedVersionAndTheStrings) {
  const auto info =
      VersionResource::find(VersionBlockWriter::inFile(VersionBlockWriter::block(6, 0, 8169, 4, kStrings)));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->fileVersionMS, 0x00060000u);
  EXPECT_EQ(info->fileVersionLS, (8169u << 16) | 4u);
  EXPECT_EQ(info->string("ProductName"), "Runtime Pack");
  EXPECT_EQ(info->string("CompanyName"), "Pelva");
  EXPECT_EQ(info->string("FileVersion"), "");
}

TEST(VersionResource, FindsABlockAtAnyOffsetAfterFalseStarts) {
  const QByteArray block = VersionBlockWriter::block(1, 2, 3, 4, kStrings);
  QByteArray bogus = block;
  bogus[block.indexOf(QByteArray("\xBD\x04\xEF\xFE", 4))] = 0;  // signature broken
  const auto info = VersionResource::find(QByteArray("x") + bogus + QByteArray("abc") + block);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->fileVersionMS, 0x00010002u);
}

TEST(VersionResource, NeverReadsPastATruncatedBlock) {
  const QByteArray block = VersionBlockWriter::block(1, 2, 3, 4, kStrings);
  for (qsizetype cut = 0; cut < block.size(); ++cut)
    EXPECT_FALSE(VersionResource::find(QByteArray("pad!") + block.left(cut))) << cut;
}

TEST(VersionResource, RefusesABlockWhoseLengthPointsOutside) {
  QByteArray block = VersionBlockWriter::block(1, 2, 3, 4, kStrings);
  setWord(block, 0, 0xFFFF);
  EXPECT_FALSE(VersionResource::find(block));
  setWord(block, 0, 4);  // shorter than its own header
  EXPECT_FALSE(VersionResource::find(block));
}

TEST(VersionResource, StopsAtAStringWhoseLengthLeavesItsTable) {
  QByteArray block = VersionBlockWriter::block(5, 0, 0, 0, kStrings);
  setWord(block, firstEntryOffset(block), 0xFFF0);
  const auto info = VersionResource::find(block);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->fileVersionMS, 0x00050000u);
  EXPECT_TRUE(info->strings.isEmpty());
}

TEST(VersionResource, CutsATextValueThatClaimsMoreThanItsEntry) {
  QByteArray block = VersionBlockWriter::block(5, 0, 0, 0, kStrings);
  setWord(block, firstEntryOffset(block) + 2, 0x7FFF);
  const auto info = VersionResource::find(block);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->string("CompanyName"), "Pelva");
  EXPECT_EQ(info->string("ProductName"), "Runtime Pack");
}

TEST(VersionResource, RefusesAFixedPartShorterThanItsRecord) {
  QByteArray block = VersionBlockWriter::block(1, 0, 0, 0);
  setWord(block, 2, 51);
  EXPECT_FALSE(VersionResource::find(block));
}

TEST(VersionResource, ReadsFilesAndNothingFromEmptyOrMissingOnes) {
  const QString dir = TestEnv::freshDir("files");
  ASSERT_TRUE(VersionBlockWriter::writeFile(
      dir + "/with.dll", VersionBlockWriter::inFile(VersionBlockWriter::block(2, 5, 0, 0))));
  ASSERT_TRUE(VersionBlockWriter::writeFile(dir + "/empty.dll", {}));
  ASSERT_TRUE(VersionResource::readFile(dir + "/with.dll"));
  EXPECT_EQ(VersionResource::readFile(dir + "/with.dll")->fileVersionMS, 0x00020005u);
  EXPECT_FALSE(VersionResource::readFile(dir + "/empty.dll"));
  EXPECT_FALSE(VersionResource::readFile(dir + "/missing.dll"));
  EXPECT_FALSE(VersionResource::readFile(dir));
}

TEST(VersionResource, TheProgramCarriesItsOwnBlock) {
  const auto info = VersionResource::readFile("/proc/self/exe");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->string("ProductName"), "Vondir Submit");
  EXPECT_EQ(info->string("InternalName"), "KVTsetup");
  EXPECT_EQ(info->fileVersionMS >> 16, 1u);
}
