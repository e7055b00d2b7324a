#include <gtest/gtest.h>

#include "RegObj.h"
#include "TestEnv.h"
#include "clsPaperSizes.h"
#include "modLumasetCommon.h"

namespace {

const QString kRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");

struct Registry : ::testing::Test {
  void SetUp() override { gRegRoot = kRoot; }
  static QVariant read(const QString& key, const QString& name) {
    RegObj reg;
    reg.setRoot(HKEY_CURRENT_USER);
    reg.setKey(kRoot + key);
    return reg.value(name);
  }
  static void write(const QString& key, const QString& name, const QVariant& value) {
    RegObj reg;
    reg.setRoot(HKEY_CURRENT_USER);
    reg.setKey(kRoot + key);
    reg.setValue(name, value);
  }
};

}  // namespace

TEST_F(Registry, PaperSizesKeys) {
  EXPECT_EQ(paperSizesKey(""), kRoot + "PaperSizes");
  EXPECT_EQ(paperSizesKey("Plotter 1"), kRoot + "PrintQueues\\Plotter 1\\PaperSizes");
}

TEST_F(Registry, PaperSizesSaveWritesOneKeyPerSize) {
  clsPaperSizes sizes;
  sizes.setSize("ISO_A4", 210, 297, 4, "A4 sheet");
  sizes.setSize("ROLL_8_5", 215.9, 0);
  sizes.overSizeMargin = 2.5f;
  EXPECT_TRUE(sizes.SaveToReg(""));
  EXPECT_EQ(read("PaperSizes", "OverSizeMargin").toString(), "2.5");
  EXPECT_EQ(read("PaperSizes\\ISO_A4", "Width").toString(), "297");
  EXPECT_EQ(read("PaperSizes\\ISO_A4", "Height").toString(), "210");
  EXPECT_EQ(read("PaperSizes\\ISO_A4", "id").toInt(), 4);
  EXPECT_EQ(read("PaperSizes\\ISO_A4", "desc").toString(), "A4 sheet");
  EXPECT_EQ(read("PaperSizes\\ROLL_8_5", "Height").toString(), "215.9");
  EXPECT_EQ(read("PaperSizes\\ROLL_8_5", "id").toInt(), -1);
}

TEST_F(Registry, PaperSizesRoundTripPerQueue) {
  clsPaperSizes sizes;
  sizes.setSize("B_SIZE", 100.25, 50, 12, "bee");
  sizes.setSize("A_SIZE", 0, 914.4);
  sizes.overSizeMargin = 7;
  EXPECT_TRUE(sizes.SaveToReg("Queue"));

  clsPaperSizes back;
  back.setSize("STALE", 1, 1);
  EXPECT_TRUE(back.LoadFromReg("Queue"));
  ASSERT_EQ(back.paperSizes.size(), 2);
  EXPECT_EQ(back.overSizeMargin, 7);
  const clsPaperSize* b = back.getSize("b_size");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->width, 100.25);
  EXPECT_EQ(b->height, 50);
  EXPECT_EQ(b->id, 12);
  EXPECT_EQ(b->desc, "bee");
  EXPECT_EQ(back.getSize("A_SIZE")->height, 914.4);
  EXPECT_EQ(back.getSize("A_SIZE")->id, -1);
  EXPECT_EQ(back.getSize("STALE"), nullptr);
}

TEST_F(Registry, PaperSizesSaveDropsSizesNoLongerThere) {
  clsPaperSizes sizes;
  sizes.setSize("OLD", 10, 10);
  sizes.setSize("KEPT", 20, 10);
  EXPECT_TRUE(sizes.SaveToReg(""));
  sizes.setSize("OLD", 0, 0);
  EXPECT_TRUE(sizes.SaveToReg(""));
  clsPaperSizes back;
  EXPECT_TRUE(back.LoadFromReg(""));
  EXPECT_EQ(back.paperSizes.keys(), QStringList({"KEPT"}));
}

TEST_F(Registry, PaperSizesEmptyKeyLoadsIsoSheetsOnlyWithoutQueue) {
  clsPaperSizes sizes;
  EXPECT_TRUE(sizes.LoadFromReg(""));
  EXPECT_EQ(sizes.overSizeMargin, 5);
  EXPECT_EQ(sizes.paperSizes.keys(), QStringList({"ISO_A0", "ISO_A1", "ISO_A2", "ISO_A3", "ISO_A4"}));
  clsPaperSizes queued;
  EXPECT_TRUE(queued.LoadFromReg("Queue"));
  EXPECT_TRUE(queued.paperSizes.isEmpty());
  EXPECT_EQ(queued.overSizeMargin, 5);
}

TEST_F(Registry, PaperSizesBadStoredNumbersFailTheLoad) {
  write("PaperSizes", "OverSizeMargin", "lots");
  write("PaperSizes\\GOOD", "Width", "20");
  write("PaperSizes\\GOOD", "Height", "10");
  write("PaperSizes\\BAD", "Width", "wide");
  clsPaperSizes sizes;
  EXPECT_FALSE(sizes.LoadFromReg(""));
  EXPECT_EQ(sizes.overSizeMargin, 5);
  EXPECT_EQ(sizes.paperSizes.keys(), QStringList({"GOOD"}));
  EXPECT_EQ(sizes.getSize("GOOD")->id, 0);
}

TEST_F(Registry, PaperSizesStoredNumbersThatAreNotFiniteFailTheLoad) {
  const QStringList notFinite = {"nan", "inf", "-inf", "NaN", "1e999"};
  for (const QString& text : notFinite) {
    write("PaperSizes", "OverSizeMargin", text);
    write("PaperSizes\\SIZE", "Width", "20");
    write("PaperSizes\\SIZE", "Height", "10");
    write("PaperSizes\\SIZE", "id", text);
    clsPaperSizes sizes;
    EXPECT_FALSE(sizes.LoadFromReg("")) << text.toStdString();
    EXPECT_EQ(sizes.overSizeMargin, 5) << text.toStdString();
    EXPECT_TRUE(sizes.paperSizes.isEmpty()) << text.toStdString();
  }
}
