#include <gtest/gtest.h>

#include "PrinterEmulator.h"
#include "RegObj.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\"); }
  void writeRanges(const QList<QPair<QString, QVariant>>& values) {
    RegObj reg;
    reg.setKey(gRegRoot + "Ranges");
    for (const auto& [name, data] : values) reg.setValue(name, data);
  }
};

}  // namespace

TEST_F(Settings, RangesEnableSizesByTheirNames) {
  writeRanges({{"ISO", true}, {"ANSI", false}, {"Roll", true}});
  clsSizes sizes;
  ASSERT_TRUE(sizes.LoadFromReg());
  EXPECT_EQ(sizes.enabled, (QStringList{"ISO", "Roll"}));
  EXPECT_TRUE(sizes.isEnabled("iso_a4"));
  EXPECT_TRUE(sizes.isEnabled("ROLL_36"));
  EXPECT_TRUE(sizes.isEnabled("any"));
  EXPECT_TRUE(sizes.isEnabled("BestFit"));
  EXPECT_FALSE(sizes.isEnabled("ANSI_D"));
}

TEST_F(Settings, EmptyRangesKeyLeavesAllFourEnabled) {
  RegObj reg;
  reg.setKey(gRegRoot + "Ranges");
  ASSERT_TRUE(reg.haveWritePerms());
  clsSizes sizes;
  EXPECT_TRUE(sizes.LoadFromReg());
  EXPECT_EQ(sizes.enabled, (QStringList{"ISO", "ANSI", "ARCH", "Roll"}));
}

TEST_F(Settings, NoEnabledRangeEnablesNothing) {
  clsSizes sizes;
  sizes.enabled.clear();
  EXPECT_FALSE(sizes.isEnabled("ANY"));
  EXPECT_FALSE(sizes.isEnabled("ISO_A4"));
}

TEST_F(Settings, RangesRoundTripReplacesAnEarlierSave) {
  clsSizes sizes;
  ASSERT_TRUE(sizes.SaveToReg());
  sizes.enabled = QStringList{"ARCH"};
  ASSERT_TRUE(sizes.SaveToReg());
  clsSizes loaded;
  ASSERT_TRUE(loaded.LoadFromReg());
  EXPECT_EQ(loaded.enabled, QStringList{"ARCH"});
}

TEST_F(Settings, NoPrintersLoadsAsFalse) {
  clsSettings settings;
  EXPECT_FALSE(settings.LoadFromReg());
  EXPECT_TRUE(settings.printers.names().isEmpty());
}

TEST_F(Settings, PrintersAreAddedAfterAQueryAndFoundWithoutCase) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  const QString address = QStringLiteral("127.0.0.1:%1").arg(emulator.port());
  clsSettings settings;
  ASSERT_TRUE(settings.printers.add("BIG PLOTTER", address));
  ASSERT_NE(settings.printers.printer("big plotter"), nullptr);
  EXPECT_FALSE(settings.printers.add("Big Plotter", address));
  EXPECT_EQ(settings.printers.names(), QStringList{"BIG PLOTTER"});
  ASSERT_TRUE(settings.SaveToReg());

  clsSettings loaded;
  EXPECT_TRUE(loaded.LoadFromReg());
  ASSERT_NE(loaded.printers.printer("Big Plotter"), nullptr);
  EXPECT_EQ(loaded.printers.printer("Big Plotter")->address, address);
  loaded.printers.deletePrinter("big PLOTTER");
  EXPECT_EQ(loaded.printers.printer("BIG PLOTTER"), nullptr);
}

TEST_F(Settings, APrinterThatDoesNotAnswerIsRefusedWithAMessage) {
  PrinterEmulator emulator;
  emulator.refuseConnections();
  clsSettings settings;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(settings.printers.add("Gone", QStringLiteral("127.0.0.1:%1").arg(emulator.port())));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Could not add printer."), std::string::npos);
  EXPECT_TRUE(settings.printers.names().isEmpty());
}
