#include <gtest/gtest.h>

#include "MlStringModule.h"
#include "PrinterEmulator.h"
#include "clsJob.h"
#include "clsPJLOptionCategory.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"
#include "modPJLOpts.h"

namespace {

QStringList valuesOf(clsPJLOption& option) {
  QStringList values;
  for (const auto& entry : option.possibleValues()) values.append(entry.second.toString());
  return values;
}

// A configured printer queried from the emulator's fixture, and the current job on it.
class PrinterLists : public ::testing::Test {
 protected:
  void SetUp() override {
    gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
    // Paper names as a printer that follows the ranges' naming reports them.
    QList<ReplyFragment> reply = PrinterEmulator::fixture(QStringLiteral("status/full.txt"));
    reply.first().bytes.replace("\tA4\r\n", "\tISO_A4\r\n").replace("\tA3\r\n", "\tANSI_E\r\n");
    emulator.setReplies(reply);
    gSettings = std::make_unique<clsSettings>();
    ASSERT_TRUE(gSettings->printers.add("Plotter", QStringLiteral("127.0.0.1:%1").arg(emulator.port())));
    ASSERT_NE(gSettings->printers.printer("Plotter"), nullptr);
    gJob = std::make_unique<clsJob>();
  }
  void TearDown() override {
    gJob.reset();
    gSettings.reset();
    SetLanguage(9, "");
  }
  std::unique_ptr<clsPJLOption> option(const QString& name) {
    clsPJLOptionSet set;
    set.setPjlOpt(name, QStringLiteral("x"));
    return set.option(name)->Clone();
  }
  PrinterEmulator emulator;
};

}  // namespace

TEST_F(PrinterLists, FollowTheJobsPrinter) {
  auto source = option("MEDIASOURCE");
  EXPECT_EQ(valuesOf(*source), (QStringList{"ROLL1", "ROLL2", "TRAY1", "TRAY2"}));
  auto finishing = option("FINISHPROGID");
  EXPECT_EQ(valuesOf(*finishing), (QStringList{"\"Fold A4\"", "\"Stack\""}));
  auto fonts = option("LABELFONTOBJ");
  EXPECT_EQ(valuesOf(*fonts), (QStringList{"\"Courier\"", "\"Helvetica\""}));
  EXPECT_EQ(fonts->Default(), "\"Courier\"");

  gJob->printerName = QStringLiteral("Nobody");
  EXPECT_TRUE(valuesOf(*source).isEmpty());
  EXPECT_TRUE(valuesOf(*finishing).isEmpty());
  EXPECT_EQ(finishing->Default(), "\"BYPASS\"");
}

TEST_F(PrinterLists, PaperOffersOnlyEnabledRanges) {
  auto paper = option("PAPER");
  EXPECT_EQ(valuesOf(*paper), (QStringList{"ISO_A4", "ANSI_E"}));
  gSettings->ranges.enabled = QStringList{"ISO"};
  EXPECT_EQ(valuesOf(*paper), QStringList{"ISO_A4"});
  gSettings->ranges.enabled.clear();
  EXPECT_TRUE(valuesOf(*paper).isEmpty());
}

TEST_F(PrinterLists, MediaShowLocalNamesAndSendEnglishOnes) {
  SetLanguage(1036, "");
  auto media = option("MEDIANAME");
  EXPECT_EQ(media->possibleUIValues().value("xPLAIN PAPER"), QString::fromUtf8("Papier normal"));
  EXPECT_EQ(media->possibleUIValues().value("xANY"), "Tout");
  EXPECT_EQ(valuesOf(*media), (QStringList{"\"ANY\"", "\"Plain Paper\"", "\"Film\""}));
  EXPECT_EQ(media->Default(), "\"ANY\"");
}

TEST_F(PrinterLists, DefinitionListsAreNeverChanged) {
  auto paper = option("PAPER");
  valuesOf(*paper);
  gJob->printerName.clear();
  clsPJLOptionSet set;
  set.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("2"));
  auto copies = set.option("COPIES")->Clone();
  EXPECT_FALSE(valuesOf(*copies).isEmpty());
}

TEST_F(PrinterLists, ReadingTheDefinitionsLeavesThemAsLoaded) {
  clsPJLOptionSet set;
  set.GenXML();
  gJob->printerName = QStringLiteral("Nobody");
  auto fonts = option("LABELFONTOBJ");
  EXPECT_EQ(fonts->Default(), "\"COURIER\"");
  const clsPJLOptionCategory* category = modPJLOpts::FindCategory(QStringLiteral("LABELFONTOBJ"));
  ASSERT_NE(category, nullptr);
  EXPECT_FALSE(category->Commands.option(QStringLiteral("LABELFONTOBJ"))->possibleValues().isEmpty());
}
