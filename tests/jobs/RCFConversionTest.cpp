#include <gtest/gtest.h>

#include "PJLTestSupport.h"
#include "clsPJLOption.h"
#include "clsPJLOptionSet.h"

namespace {

class RCFConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { PJLTest::loadFixture(); }

  // The options a section line gives a fresh set, as "NAME=value".
  static QStringList converted(const QString& line) {
    clsPJLOptionSet set;
    set.UpdateFromRCF(line);
    QStringList result;
    for (const QString& name : set.optionNames()) result << name + '=' + set.option(name)->value();
    return result;
  }

  struct Entry {
    qint16 section;
    QString text;
  };

  static Entry entryOf(const QString& name, const QString& value) {
    clsPJLOption option;
    option.name = name;
    option.setValue(value);
    Entry entry{0, QStringLiteral("unchanged")};
    entry.section = option.GetRCFEntry(entry.text);
    return entry;
  }
};

TEST_F(RCFConversionTest, ScalingFactorBecomesPercentAndAutoOnlyWhenAsked) {
  EXPECT_EQ(converted("3 XS=0.5, AS=0"), QStringList{"PAGESCALING=50"});
  EXPECT_EQ(converted("3 AS=1"), QStringList{"PAGESCALING=AUTO"});
  EXPECT_EQ(converted("3 AS=0"), QStringList{});
  EXPECT_EQ(converted("3 XS=1.41"), QStringList{"PAGESCALING=141"});
}

TEST_F(RCFConversionTest, RoundingTakesHalvesToTheEvenNeighbour) {
  EXPECT_EQ(converted("3 RO=2.5"), QStringList{"PAGEROTATE=2"});
  EXPECT_EQ(converted("3 RO=3.5"), QStringList{"PAGEROTATE=4"});
  EXPECT_EQ(converted("3 XS=0.125"), QStringList{"PAGESCALING=12"});
  EXPECT_EQ(converted("3 AR=1"), QStringList{"PAGEROTATE=AUTO"});
}

TEST_F(RCFConversionTest, QuotedSemicolonEndedRollKeepsTheRoll) {
  EXPECT_EQ(converted("21 \"RN=2, RS=0\";"), QStringList{"MEDIASOURCE=ROLL2"});
  EXPECT_EQ(converted("21 TR=3"), QStringList{"MEDIASOURCE=TRAY3"});
  EXPECT_EQ(converted("21 BY=1"), QStringList{"MEDIASOURCE=MANUAL_FD"});
  EXPECT_EQ(converted("21 RS=1"), QStringList{"MEDIASOURCE=AUTO"});
}

TEST_F(RCFConversionTest, PaperFormIdIsLookedUpInTheSheetCatalogue) {
  EXPECT_EQ(converted("21 PF=4"), QStringList{"PAPER=ISO_A4"});
  EXPECT_EQ(converted("21 PF=999"), QStringList{"PAPER=ANY"});
  EXPECT_EQ(converted("21 AF=1"), QStringList{"PAPER=ANY"});
  EXPECT_EQ(converted("21 AF=0"), QStringList{});
}

TEST_F(RCFConversionTest, ColourFinishingAndPassThroughCodes) {
  EXPECT_EQ(converted("15 CM=1"), QStringList{"RENDERMODE=COLOR"});
  EXPECT_EQ(converted("15 CM=2"), QStringList{"RENDERMODE=GREYSCALE"});
  EXPECT_EQ(converted("22 FO=0"), QStringList{"FINISHPROGID=BYPASS"});
  EXPECT_EQ(converted("22 FO=3"), QStringList{"FINISHPROGID=DIN C 210x297"});
  EXPECT_EQ(converted("2 CO=3, AI=acc, UI=me"),
            (QStringList{"COPIES=3", "ACCT_ACCTID=acc", "ACCT_USERID=me"}));
  EXPECT_EQ(converted("5 XY=7"), QStringList{"APL_005XY=7"});
  EXPECT_EQ(converted("2 JB=1"), QStringList{});
}

TEST_F(RCFConversionTest, KeysAreCaseBlindAndBlanksAroundThemIgnored) {
  EXPECT_EQ(converted("  21   pf = 4 ,  rn= 1  "), (QStringList{"PAPER=ISO_A4", "MEDIASOURCE=ROLL1"}));
}

TEST_F(RCFConversionTest, MalformedLinesAndEntriesAreIgnored) {
  EXPECT_EQ(converted("123456 XS=1"), QStringList{});
  EXPECT_EQ(converted("3"), QStringList{});
  EXPECT_EQ(converted(""), QStringList{});
  EXPECT_EQ(converted("3 XS, AS=, =, AS=1"), QStringList{"PAGESCALING=AUTO"});
  EXPECT_EQ(converted("3 XS=abc"), QStringList{"PAGESCALING=0"});
}

TEST_F(RCFConversionTest, ValuesTooLargeToConvertSkipOnlyTheirEntry) {
  EXPECT_EQ(converted("3 XS=99999999, RO=90"), QStringList{"PAGEROTATE=90"});
  EXPECT_EQ(converted("3 RO=1e3"), QStringList{"PAGEROTATE=1"});
  EXPECT_EQ(converted("3 RO=" + QString(400, '9') + ", AS=1"), QStringList{"PAGESCALING=AUTO"});
  EXPECT_EQ(converted("3 RO=-" + QString(400, '9')), QStringList{});
  EXPECT_EQ(converted("21 PF=40000, RN=1"), QStringList{"MEDIASOURCE=ROLL1"});
  EXPECT_EQ(converted("3 XS=21474836.47"), QStringList{"PAGESCALING=2147483647"});
  EXPECT_EQ(converted("3 XS=21474836.48"), QStringList{});
}

TEST_F(RCFConversionTest, SectionNumbersBeyondSixteenBitsAreNoSection) {
  EXPECT_EQ(converted("99999 XY=1"), QStringList{});
  EXPECT_EQ(converted("-5 XY=1"), QStringList{"APL_-005XY=1"});
}

TEST_F(RCFConversionTest, EntriesOfMediaSourceAndScaling) {
  EXPECT_EQ(entryOf("MEDIASOURCE", "TRAY2").section, 21);
  EXPECT_EQ(entryOf("MEDIASOURCE", "TRAY2").text, "TR=2, RS=0");
  EXPECT_EQ(entryOf("MEDIASOURCE", "Manual_FD").text, "BY=1, RS=0");
  EXPECT_EQ(entryOf("MEDIASOURCE", "ROLL12").text, "RN=1, RS=0");
  EXPECT_EQ(entryOf("MEDIASOURCE", "AUTO").text, "RS=1");
  EXPECT_EQ(entryOf("PAGESCALING", "2000").text, "XS=1.0, AS=0, ");
  EXPECT_EQ(entryOf("PAGESCALING", "0").text, "XS=1.0, AS=0, ");
  EXPECT_EQ(entryOf("PAGESCALING", "auto").text, "AS=1");
  EXPECT_EQ(entryOf("PAGESCALING", "100").text, "XS=1.0, AS=0");
  EXPECT_EQ(entryOf("PAGESCALING", "50").text, "XS=0.5, AS=0");
  EXPECT_EQ(entryOf("PAGESCALING", "141").text, "XS=1.41, AS=0");
  EXPECT_EQ(entryOf("PAGESCALING", "25").text, "XS=0.25, AS=0");
  EXPECT_EQ(entryOf("PAGESCALING", "1000").text, "XS=10.0, AS=0");
  EXPECT_EQ(entryOf("PAGESCALING", "12.345").text, "XS=0.123, AS=0");
}

TEST_F(RCFConversionTest, EntriesOfRotationColourFinishingAndAccounts) {
  EXPECT_EQ(entryOf("PAGEROTATE", "AUTO").text, "AR=1");
  EXPECT_EQ(entryOf("PAGEROTATE", "").text, "AR=1");
  EXPECT_EQ(entryOf("PAGEROTATE", "0").text, "RO=0, AR=0");
  EXPECT_EQ(entryOf("PAGEROTATE", "90").text, "RO=90, AR=0");
  EXPECT_EQ(entryOf("RENDERMODE", "color").text, "CM=1");
  EXPECT_EQ(entryOf("RENDERMODE", "GREYSCALE").section, 15);
  EXPECT_EQ(entryOf("RENDERMODE", "GREYSCALE").text, "CM=0");
  EXPECT_EQ(entryOf("FINISHPROGID", "\" bypass \"").text, "FO=0");
  EXPECT_EQ(entryOf("FINISHPROGID", "None").text, "FO=0");
  EXPECT_EQ(entryOf("FINISHPROGID", "").text, "FO=0");
  EXPECT_EQ(entryOf("FINISHPROGID", "DIN C 210x297").section, 22);
  EXPECT_EQ(entryOf("FINISHPROGID", "DIN C 210x297").text, "FO=1");
  EXPECT_EQ(entryOf("ACCT_ACCTID", "acc").section, 2);
  EXPECT_EQ(entryOf("ACCT_ACCTID", "acc").text, "AI=acc");
  EXPECT_EQ(entryOf("acct_userid", "me").text, "UI=me");
}

TEST_F(RCFConversionTest, PaperEntriesNeedAKnownSizeWithAnId) {
  EXPECT_EQ(entryOf("PAPER", "iso_a4").section, 21);
  EXPECT_EQ(entryOf("PAPER", "iso_a4").text, "PF=4");
  EXPECT_EQ(entryOf("PAPER", "LETTER").section, 0);
  EXPECT_EQ(entryOf("PAPER", "LETTER").text, "unchanged");
  EXPECT_EQ(entryOf("PAPER", "NOSUCH").section, 0);
  EXPECT_EQ(entryOf("PAPER", "NOSUCH").text, "unchanged");
}

TEST_F(RCFConversionTest, PassThroughOptionsAndOptionsWithoutForm) {
  EXPECT_EQ(entryOf("APL_005XY", "7").section, 5);
  EXPECT_EQ(entryOf("APL_005XY", "7").text, "XY=7");
  EXPECT_EQ(entryOf("COPIES", "3").section, -1);
  EXPECT_EQ(entryOf("COPIES", "3").text, "unchanged");
  EXPECT_EQ(entryOf("APL_105XY", "7").section, -1);
}

TEST_F(RCFConversionTest, EntriesComeBackAsTheOptionsTheyCameFrom) {
  const auto roundTrip = [](const QString& name, const QString& value) {
    const Entry entry = entryOf(name, value);
    return converted(QString::number(entry.section) + ' ' + entry.text);
  };
  EXPECT_EQ(roundTrip("PAGESCALING", "50"), QStringList{"PAGESCALING=50"});
  EXPECT_EQ(roundTrip("MEDIASOURCE", "ROLL2"), QStringList{"MEDIASOURCE=ROLL2"});
  EXPECT_EQ(roundTrip("PAPER", "ISO_A3"), QStringList{"PAPER=ISO_A3"});
  EXPECT_EQ(roundTrip("APL_005XY", "7"), QStringList{"APL_005XY=7"});
  EXPECT_EQ(roundTrip("FINISHPROGID", "Custom"), QStringList{"FINISHPROGID=DIN C 210x297"});
}

}  // namespace
