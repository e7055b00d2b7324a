#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

#include "LogCapture.h"
#include "MLRuntime.h"
#include "MlStringModule.h"
#include "TestEnv.h"
#include "clsPaperSizes.h"

namespace {

QStringList names(const clsPaperSizes& sizes) {
  QStringList out;
  for (const auto& entry : sizes.paperSizes) out.append(entry.second->name);
  return out;
}

// Points the catalogue at another support folder for the life of the object.
struct SupportDir {
  explicit SupportDir(const QString& folder) : saved(qgetenv("KVT_SUPPORT_DIR")) {
    qputenv("KVT_SUPPORT_DIR", QFile::encodeName(folder));
  }
  ~SupportDir() { qputenv("KVT_SUPPORT_DIR", saved); }
  QByteArray saved;
};

QString catalogueWith(const QByteArray& bytes) {
  const QString folder = TestEnv::freshDir("support");
  QFile file(folder + "/sizes.xml");
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(bytes);
  return folder;
}

const QStringList kSheets = {"ANSI_A", "LETTER", "ANSI_B", "LEDGER", "ANSI_C", "ANSI_D",  "ANSI_E",
                             "ARCH_A", "ARCH_B", "ARCH_C", "ARCH_D", "ARCH_E", "ARCH_30", "ISO_A0",
                             "ISO_A1", "ISO_A2", "ISO_A3", "ISO_A4", "ISO_B1", "ISO_B2",  "ISO_B3",
                             "ISO_B4", "JIS_B1", "JIS_B2", "JIS_B3", "JIS_B4"};

}  // namespace

TEST(clsPaperSizesLoad, SheetDefaultsAreTheShippedSheetsLandscapeInFileOrder) {
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  EXPECT_EQ(names(sizes), kSheets);
  for (const auto& entry : sizes.paperSizes) {
    EXPECT_GE(entry.second->width, entry.second->height) << entry.second->name.toStdString();
    EXPECT_GT(entry.second->height, 0);
    EXPECT_TRUE(entry.second->family.isEmpty());
    EXPECT_TRUE(entry.second->loading.isEmpty());
  }
  EXPECT_EQ(sizes.getSize("LETTER")->id, -1);
  EXPECT_EQ(sizes.getSize("LEDGER")->id, -1);
  EXPECT_EQ(sizes.getSize("LETTER")->desc, "Letter");
  EXPECT_EQ(sizes.getSize("JIS_B3")->desc, "JIS B3");
  EXPECT_EQ(sizes.getSize("ARCH_30")->id, 19);
  EXPECT_DOUBLE_EQ(sizes.getSize("ANSI_E")->width, 1117.6);
  EXPECT_DOUBLE_EQ(sizes.getSize("ANSI_E")->height, 863.6);
}

TEST(clsPaperSizesLoad, LookupByNameIgnoresCase) {
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  const clsPaperSize* a4 = sizes.getSize("iso_a4");
  ASSERT_NE(a4, nullptr);
  EXPECT_EQ(a4->name, "ISO_A4");
  EXPECT_DOUBLE_EQ(a4->width, 297);
  EXPECT_DOUBLE_EQ(a4->height, 210);
  EXPECT_EQ(a4->id, 4);
  EXPECT_EQ(a4->getDesc(), "ISO A4");
  EXPECT_EQ(sizes.getSize("ISO_A5"), nullptr);
}

TEST(clsPaperSizesLoad, LookupById) {
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  EXPECT_EQ(sizes.getSizeID(4), "ISO_A4");
  EXPECT_EQ(sizes.getSizeID(0), "ISO_A0");
  EXPECT_EQ(sizes.getSizeID(25), "JIS_B4");
  EXPECT_EQ(sizes.getSizeID(20), "ANY");
  EXPECT_EQ(sizes.getSizeID(26), "ANY");
  EXPECT_EQ(sizes.getSizeID(-1), "LETTER");
  EXPECT_EQ(sizes.getSizeID(-2), "ANY");
  EXPECT_EQ(sizes.getSizeID(32767), "ANY");
  EXPECT_EQ(sizes.getSizeID(-32768), "ANY");
  sizes.ClearSizes();
  EXPECT_EQ(sizes.getSizeID(4), "ANY");
}

TEST(clsPaperSizesLoad, RollDefaultsAreTheShippedRolls) {
  clsPaperSizes sizes;
  sizes.GetRollDefaults(false);
  ASSERT_EQ(sizes.paperSizes.size(), 36);
  EXPECT_EQ(names(sizes).first(), "ROLL_A0");
  EXPECT_EQ(names(sizes).last(), "ROLL_HUGE");
  for (const auto& entry : sizes.paperSizes) {
    EXPECT_EQ(entry.second->width, 0) << entry.second->name.toStdString();
    EXPECT_EQ(entry.second->id, -1);
  }
  EXPECT_EQ(sizes.getSize("ROLL_A0")->desc, "841mm");
  EXPECT_EQ(sizes.getSize("ROLL_8_5")->desc, "8.5\"");
  EXPECT_DOUBLE_EQ(sizes.getSize("ROLL_8_5")->height, 215.9);
  EXPECT_EQ(sizes.getSize("ROLL_54")->desc, "54\"");
  EXPECT_EQ(sizes.getSize("roll_huge")->desc, "2.5m");
  EXPECT_DOUBLE_EQ(sizes.getSize("ROLL_HUGE")->height, 2500);
}

TEST(clsPaperSizesLoad, DefaultsKeepOrEmptyWhatIsThere) {
  clsPaperSizes sizes;
  sizes.setSize("mine", 10, 20);
  sizes.GetRollDefaults(true);
  EXPECT_EQ(sizes.paperSizes.size(), 37);
  EXPECT_EQ(names(sizes).first(), "MINE");
  sizes.GetSheetDefaults(true);
  EXPECT_EQ(sizes.paperSizes.size(), 63);
  sizes.GetDefaults();
  EXPECT_EQ(sizes.paperSizes.size(), 62);
  EXPECT_EQ(names(sizes).mid(0, 26), kSheets);
  EXPECT_EQ(sizes.getSize("MINE"), nullptr);
  sizes.GetSheetDefaults(false);
  EXPECT_EQ(sizes.paperSizes.size(), 26);
}

TEST(clsPaperSizesLoad, ReloadingUpdatesEntriesInPlace) {
  clsPaperSizes sizes;
  sizes.setSize("ISO_A4", 1, 2, 99, "old");
  sizes.setSize("first", 5, 5);
  sizes.GetSheetDefaults(true);
  EXPECT_EQ(names(sizes).first(), "ISO_A4");
  EXPECT_EQ(sizes.getSize("ISO_A4")->id, 4);
  EXPECT_EQ(sizes.getSize("ISO_A4")->desc, "ISO A4");
}

TEST(clsPaperSizesSet, SheetsLandscapeRollsAndRemoval) {
  clsPaperSizes sizes;
  sizes.setSize("x", 210, 297);
  const clsPaperSize* x = sizes.getSize("X");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->name, "X");
  EXPECT_EQ(x->width, 297);
  EXPECT_EQ(x->height, 210);
  EXPECT_EQ(x->id, -1);
  sizes.setSize("r", 500, 0, 7, "roll");
  const clsPaperSize* r = sizes.getSize("R");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->width, 0);
  EXPECT_EQ(r->height, 500);
  EXPECT_EQ(r->id, 7);
  EXPECT_EQ(r->desc, "roll");
  sizes.setSize("X", 0, 0);
  EXPECT_EQ(sizes.getSize("X"), nullptr);
  sizes.setSize("r", -1, 5);
  EXPECT_EQ(sizes.getSize("R"), nullptr);
  sizes.setSize("never", 0, 0);
  EXPECT_TRUE(sizes.paperSizes.isEmpty());
}

TEST(clsPaperSizesBestFit, SheetsWithoutMargin) {
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  EXPECT_EQ(sizes.GetBestSizeName(300, 200), "ARCH_A");
  int rotate = -1;
  EXPECT_EQ(sizes.GetBestSizeName(200, 300, rotate), "ARCH_A");
  EXPECT_EQ(rotate, 270);
  rotate = -1;
  EXPECT_EQ(sizes.GetBestSizeName(300, 200, rotate), "ARCH_A");
  EXPECT_EQ(rotate, 0);
  rotate = 0;
  EXPECT_EQ(sizes.GetBestSizeName(200, 300, rotate), "ARCH_B");
  EXPECT_EQ(rotate, 0);
  rotate = 90;
  EXPECT_EQ(sizes.GetBestSizeName(200, 300, rotate), "ARCH_A");
  EXPECT_EQ(rotate, 90);
  rotate = 180;
  EXPECT_EQ(sizes.GetBestSizeName(200, 300, rotate), "ARCH_B");
}

TEST(clsPaperSizesBestFit, TooLargeForEverySheetTakesTheNearestShort) {
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  int rotate = 0;
  EXPECT_EQ(sizes.GetBestSizeName(1300, 900, rotate), "ARCH_E");
  EXPECT_EQ(sizes.GetBestSizeName(5000, 5000), "ARCH_E");
}

TEST(clsPaperSizesBestFit, RollsWithAndWithoutMargin) {
  clsPaperSizes sizes;
  sizes.GetRollDefaults(false);
  int rotate = 0;
  EXPECT_EQ(sizes.GetBestSizeName(600, 800, rotate), "ROLL_A0");
  sizes.overSizeMargin = 5;
  EXPECT_EQ(sizes.GetBestSizeName(600, 800, rotate), "ROLL_30");
  EXPECT_EQ(rotate, 0);
}

TEST(clsPaperSizesBestFit, EmptyCatalogueFindsNothingAndLogs) {
  LogCapture log;
  clsPaperSizes sizes;
  int rotate = 90;
  EXPECT_EQ(sizes.GetBestSizeName(100.5, 200, rotate), "");
  EXPECT_EQ(rotate, 90);
  EXPECT_EQ(sizes.GetBestSizeName(100, 200), "");
  EXPECT_EQ(
      log.messages(),
      QStringList({"clsPaperSizes-GetBestSizeName: Finding match for 100.5mm wide x 200mm high. Rotate=90",
                   "clsPaperSizes-GetBestSizeName: Selected size . With rotate=90",
                   "clsPaperSizes-GetBestSizeName: Finding match for 100mm wide x 200mm high. Rotate=-1",
                   "clsPaperSizes-GetBestSizeName: Selected size . With rotate=-1"}));
}

TEST(clsPaperSizesCompare, OperatorsOnSheets) {
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  EXPECT_TRUE(sizes.CompareSize("ISO_A4", "<", "ISO_A3", 100, 100, 100));
  EXPECT_TRUE(sizes.CompareSize("ISO_A4", "<=", "ISO_A3", 100, 100, 100));
  EXPECT_TRUE(sizes.CompareSize("ISO_A4", "<>", "ISO_A3", 100, 100, 100));
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", ">", "ISO_A3", 100, 100, 100));
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", ">=", "ISO_A3", 100, 100, 100));
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", "<>", "ISO_A4", 100, 100, 100));
  EXPECT_TRUE(sizes.CompareSize("ISO_A4", "=", "ISO_A4", 100, 100, 100));
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", "=<", "ISO_A3", 100, 100, 100));
  // Sheets facing different ways are compared turned alike.
  sizes.setSize("PORTRAITISH", 100, 100);
  EXPECT_TRUE(sizes.CompareSize("ISO_A4", ">", "PORTRAITISH", 0, 0, 100));
}

TEST(clsPaperSizesCompare, RollsTakeTheDocumentLength) {
  clsPaperSizes sizes;
  sizes.GetDefaults();
  // A 300 x 500 document on a 914.4 roll runs 300 long: 914.4 x 300.
  EXPECT_TRUE(sizes.CompareSize("ROLL_36", "<", "ISO_A0", 300, 500, 100));
  // At 200 % it runs 1000 long, past A0.
  EXPECT_FALSE(sizes.CompareSize("ROLL_36", "<", "ISO_A0", 300, 500, 200));
  // Scaled to fit A4: 100 x 200 becomes 148.5 x 297 (and A4 equals itself).
  EXPECT_TRUE(sizes.CompareSize("ISO_A4", "=", "ISO_A4", 100, 200, 0));
  // Fitted to a 210 roll, 100 x 200 runs 420 long: 420 x 210 against 420 x 297.
  EXPECT_TRUE(sizes.CompareSize("ROLL_A4", "<=", "ISO_A3", 100, 200, 0));
  EXPECT_FALSE(sizes.CompareSize("ROLL_A4", "<", "ISO_A3", 100, 200, 0));
}

TEST(clsPaperSizesCompare, NeverDividesByZero) {
  clsPaperSizes sizes;
  sizes.GetDefaults();
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", "<", "NOPE", 100, 100, 100));
  EXPECT_FALSE(sizes.CompareSize("NOPE", "<>", "ISO_A4", 100, 100, 100));
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", "<>", "ISO_A3", 0, 100, 0));
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", "<>", "ISO_A3", 0, 0, 0.5));
  EXPECT_FALSE(sizes.CompareSize("ROLL_A4", "<>", "ISO_A3", 0, 0, -3));
  sizes.paperSizes.find("ISO_A3")->get()->height = 0;
  EXPECT_FALSE(sizes.CompareSize("ISO_A4", "<>", "ISO_A3", 100, 100, 100));
}

TEST(clsPaperSizesDescriptions, ItemNamesBeforeAndAfterReading) {
  clsPaperSizes sizes;
  EXPECT_EQ(sizes.getType("bond"), "bond");
  EXPECT_FALSE(sizes.paperLoadings.has_value());
  SetLanguage(1040, "Italiano");
  sizes.readXML();
  EXPECT_EQ(sizes.getType("bond"), "Opaca");
  EXPECT_EQ(sizes.getStatus("low"), "Scarso");
  EXPECT_EQ(sizes.getLoading("tray"), "Vassoio");
  EXPECT_EQ(sizes.getOrient("_se"), "Ritratto");
  EXPECT_EQ(sizes.getType("Plastic"), "Plastic");
  SetLanguage(9, "English");
  sizes.readXML();
  EXPECT_EQ(sizes.getType("bond"), "Bond");
  EXPECT_EQ(sizes.getLoading("ROLL"), "Roll");
  EXPECT_EQ(sizes.getOrient("_LE"), "Landscape");
  EXPECT_TRUE(sizes.paperSizes.isEmpty());
}

TEST(clsPaperSizesDescriptions, LanguageChangeRereadsOnlyWhatWasRead) {
  clsPaperSizes unread;
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  SetLanguage(9, "English");
  sizes.readXML();
  MLRuntime::RuntimeSupport().SetLanguage(1040, "Italiano");
  EXPECT_EQ(gLanguageID, 1040);
  EXPECT_EQ(sizes.getType("BOND"), "Opaca");
  EXPECT_FALSE(unread.paperTypes.has_value());
  EXPECT_EQ(sizes.paperSizes.size(), 26);
}

TEST(clsPaperSizesDescriptions, LanguageChangeLogsAnUnreadableTag) {
  clsPaperSizes sizes;
  SupportDir support(TestEnv::dataPath("sizes/garbled"));
  sizes.readXML();
  EXPECT_TRUE(sizes.paperTypes->isEmpty());
  LogCapture log;
  MLRuntime::RuntimeSupport().SetLanguage(9, "English");
  EXPECT_TRUE(log.messages().contains(
      "clsPaperSizes-ml_RuntimeSupport_LanguageChanged: An error occured while reading data file"));
}

TEST(clsPaperSizesWrite, WrittenCatalogueReadsBack) {
  clsPaperSizes sizes;
  const QString folder = TestEnv::freshDir("written");
  sizes.WriteXML(folder + "/sizes.xml");
  EXPECT_EQ(sizes.paperSizes.size(), 62);
  QFile file(folder + "/sizes.xml");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromLatin1(file.readAll()).split("\r\n");
  EXPECT_EQ(lines.mid(0, 4),
            QStringList({"<?xml version=\"1.0\" ?>", "<!-- This file defines the available media -->",
                         "<media>", "  <mediasizes>"}));
  EXPECT_TRUE(lines.contains(
      "    <size Name=\"ISO_A4\" id=\"4\" width=\"297\" height=\"210\" family=\"ISO\" loading=\"Sheet\">"));
  EXPECT_TRUE(
      lines.contains("    <size Name=\"ANSI_E\" id=\"5\" width=\"1117.6\" height=\"863.6\" family=\"ISO\" "
                     "loading=\"Sheet\">"));
  EXPECT_TRUE(lines.contains(
      "    <size Name=\"ROLL_8_5\" width=\"0\" height=\"215.9\" family=\"ISO\" loading=\"Roll\">"));
  EXPECT_TRUE(lines.contains("        <desc1040>Terminato</desc1040>"));
  EXPECT_EQ(lines.mid(lines.size() - 3), QStringList({"  </orientation>", "</media>", ""}));

  SupportDir support(folder);
  clsPaperSizes back;
  back.GetDefaults();
  EXPECT_EQ(names(back), names(sizes));
  EXPECT_EQ(back.getSize("ISO_A4")->id, 4);
  EXPECT_EQ(back.getSize("ISO_A4")->getDesc(), "ISO_A4");
  SetLanguage(1040, "Italiano");
  back.readXML();
  EXPECT_EQ(back.getType("bond"), "Bond");
}

TEST(clsPaperSizesBadFile, MissingCatalogueLeavesItEmpty) {
  SupportDir support(TestEnv::freshDir("empty"));
  LogCapture log;
  clsPaperSizes sizes;
  sizes.GetSheetDefaults(false);
  EXPECT_TRUE(sizes.paperSizes.isEmpty());
  EXPECT_EQ(sizes.getSizeID(4), "ANY");
  EXPECT_TRUE(log.messages().value(0).startsWith("clsXML-openFile: Error opening PJL data file ("));
  sizes.readXML();
  EXPECT_FALSE(sizes.paperTypes.has_value());
}

TEST(clsPaperSizesBadFile, TruncatedCatalogueGivesWhatCameBeforeTheCut) {
  SupportDir support(TestEnv::dataPath("sizes/truncated"));
  clsPaperSizes sizes;
  sizes.GetDefaults();
  EXPECT_EQ(names(sizes), kSheets.mid(0, 8));
  sizes.readXML();
  EXPECT_EQ(sizes.getType("Bond"), "Bond");
}

TEST(clsPaperSizesBadFile, GarbledCatalogueSkipsWhatItCannotRead) {
  SupportDir support(TestEnv::dataPath("sizes/garbled"));
  clsPaperSizes sizes;
  sizes.GetDefaults();
  EXPECT_EQ(names(sizes), QStringList({"GOOD_1", "NOWIDTH", "GOOD_2"}));
  EXPECT_EQ(sizes.getSize("GOOD_1")->width, 200);
  EXPECT_EQ(sizes.getSize("GOOD_1")->id, 7);
  EXPECT_EQ(sizes.getSize("GOOD_1")->desc, "Good one");
  // No width: stored as a roll of its height; an id that is no number stays -1.
  EXPECT_EQ(sizes.getSize("NOWIDTH")->width, 0);
  EXPECT_EQ(sizes.getSize("NOWIDTH")->height, 300);
  EXPECT_EQ(sizes.getSize("NOWIDTH")->id, -1);
  EXPECT_TRUE(sizes.getSize("GOOD_2")->desc.startsWith("Good two <size name="));
}

TEST(clsPaperSizesBadFile, RandomBytesNeverCrashOrHang) {
  QRandomGenerator random(1234);
  const QByteArray alphabet = "<>/=\" \r\n\tsizeSIZEdescDESCmedia0123456789.,_\x00\xff";
  for (int round = 0; round < 200; ++round) {
    QByteArray bytes;
    const int length = random.bounded(1, 400);
    for (int i = 0; i < length; ++i) bytes.append(alphabet[random.bounded(int(alphabet.size()))]);
    SupportDir support(catalogueWith(bytes));
    clsPaperSizes sizes;
    sizes.GetDefaults();
    sizes.readXML();
    for (const auto& entry : sizes.paperSizes) EXPECT_GT(entry.second->height, 0);
  }
}

// "nan" and "inf" pass every range check; they must never reach a conversion.
TEST(clsPaperSizesBadFile, NumbersThatAreNotFiniteReadAsAbsent) {
  SupportDir support(
      catalogueWith("<media><mediasizes>\n"
                    "<size name=\"NAN_ID\" id=\"nan\" width=\"200\" height=\"100\" family=\"ISO\" "
                    "loading=\"Sheet\"></size>\n"
                    "<size name=\"INF_ID\" id=\"-inf\" width=\"200\" height=\"100\" family=\"ISO\" "
                    "loading=\"Sheet\"></size>\n"
                    "<size name=\"INF_WIDTH\" id=\"3\" width=\"inf\" height=\"100\" family=\"ISO\" "
                    "loading=\"Sheet\"></size>\n"
                    "<size name=\"NAN_HEIGHT\" id=\"4\" width=\"200\" height=\"NaN\" family=\"ISO\" "
                    "loading=\"Sheet\"></size>\n"
                    "</mediasizes></media>\n"));
  clsPaperSizes sizes;
  sizes.GetDefaults();
  ASSERT_EQ(names(sizes), QStringList({"NAN_ID", "INF_ID", "INF_WIDTH", "NAN_HEIGHT"}));
  EXPECT_EQ(sizes.getSize("NAN_ID")->id, -1);
  EXPECT_EQ(sizes.getSize("INF_ID")->id, -1);
  EXPECT_EQ(sizes.getSize("INF_WIDTH")->width, 0);
  EXPECT_EQ(sizes.getSize("INF_WIDTH")->height, 100);
  // Without a height the width is taken as a roll's, as for any absent number.
  EXPECT_EQ(sizes.getSize("NAN_HEIGHT")->width, 0);
  EXPECT_EQ(sizes.getSize("NAN_HEIGHT")->height, 200);
}
