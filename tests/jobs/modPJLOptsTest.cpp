#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "MlStringModule.h"
#include "PJLTestSupport.h"
#include "TestEnv.h"
#include "clsPJLOptionCategory.h"
#include "modMultiThread.h"
#include "modPJLOpts.h"

namespace {

clsPJLOption* definition(const QString& category, const QString& option) {
  const auto found = gCategories.value("x" + category);
  return found ? found->Commands.option(option) : nullptr;
}

bool logHas(const QString& line) { return PJLTest::logLines().contains(line); }

bool logHasPrefix(const QString& prefix) {
  for (const QString& line : PJLTest::logLines())
    if (line.startsWith(prefix)) return true;
  return false;
}

const QString kErrorLine = "modPJLOpts-Initialise: An error occured while reading PJL data file (";

TEST(PJLLoader, LogsEveryStepOfAGoodLoad) {
  PJLTest::startLog();
  PJLTest::loadFixture();
  const QString file = PJLTest::fixtureFolder() + "/pjl.xml";
  const qint64 size = QFileInfo(file).size();
  EXPECT_EQ(
      PJLTest::logLines(),
      (QStringList{"modPJLOpts-Initialise: Looking for PJL...", "modPJLOpts-Initialise:  Found local version",
                   "modPJLOpts-Initialise: Opening PJL file: '" + file + "'",
                   "modPJLOpts-Initialise: PJL Opened.", "modPJLOpts-inBuffer: Filling buffer.",
                   QString("modPJLOpts-fillBuffer: Resizing buffer to %1bytes.").arg(size),
                   "modPJLOpts-ReadCategory: Adding category Job",
                   "modPJLOpts-ReadCategory: Adding category Size, Media and Layout",
                   "modPJLOpts-ReadCategory: Adding category Labelling",
                   "modPJLOpts-ReadCategory: Adding category Other"}));
  EXPECT_EQ(gDefaultCategory, "Other");
  EXPECT_EQ(modPJLOpts::CategoryOptions("Other"), QStringList());
  modMultiThread::Init();
}

TEST(PJLLoader, SecondInitialiseDoesNothingUnlessForced) {
  PJLTest::loadFixture();
  PJLTest::startLog();
  modPJLOpts::Initialise(false);
  EXPECT_TRUE(PJLTest::logLines().isEmpty());
  modPJLOpts::Initialise(true);
  EXPECT_EQ(gCategories.size(), 4);
}

TEST(PJLLoader, LanguageFileIsPreferredAndNamesMatchWithoutCase) {
  const QString folder = TestEnv::freshDir("lang");
  QFile::copy(PJLTest::fixtureFolder() + "/pjl.xml", folder + "/PJL.XML");
  QFile german(folder + "/Pjl-1031.Xml");
  german.open(QIODevice::WriteOnly);
  german.write("<pjloptions><category name=\"Auftrag\"></category></pjloptions>");
  german.close();
  modPJLOpts::setSupportFolder(folder);
  SetLanguage(1031, "German");
  modPJLOpts::Initialise(true);
  EXPECT_EQ(modPJLOpts::CategoryNames(), QStringList{"Auftrag"});
  SetLanguage(9, "English");
  modPJLOpts::Initialise(true);
  EXPECT_EQ(modPJLOpts::CategoryNames().size(), 4);
}

TEST(PJLLoader, TagRules) {
  PJLTest::loadDefinitions(
      "<?xml version='1.0' ?><!-- comment -->\r\n"
      "<Unknown a=b><pjloptions>\r\n"
      "<category name=\"Size, Media and Layout\" joboptions=\"yes\">\r\n"
      "  <description>first</line>second\r\n  third<b>bold</b></description>\r\n"
      "  <option name=copies quoted=\"0\" REPROCESS=\"\">\r\n"
      "    <value NAME=\"AUTO\" uiname=\"Auto\" default=\"True\"></value>\r\n"
      "    <value name='q' misspelt=1>single</value>\r\n"
      "  </option>\r\n"
      "  <option name=\"COPIES\" reprocess=1><value name=\"AUTO\">again</value><value "
      "name=\"2\">two</value></option>\r\n"
      "  <option\r\nname=\"WRAPPED\"></option>\r\n"
      "</category>\r\n"
      "<category name=\"B\" joboptions=\"1\"><option name = \"X\"></option></category>\r\n"
      "</pjloptions><category name=\"After\"></category>");
  ASSERT_EQ(modPJLOpts::CategoryNames(), (QStringList{"Size, Media and Layout", "B"}));
  const auto layout = gCategories.value("xSize, Media and Layout");
  EXPECT_FALSE(layout->jobOptions);
  EXPECT_TRUE(gCategories.value("xB")->jobOptions);
  EXPECT_EQ(layout->description, "first\r\nsecond\r\n  third<b>bold");
  EXPECT_EQ(modPJLOpts::CategoryOptions("Size, Media and Layout"), QStringList{"COPIES"});
  clsPJLOption* copies = definition("Size, Media and Layout", "COPIES");
  // The repeated OPTION replaced the flags and added its new value.
  EXPECT_FALSE(copies->quoted());
  EXPECT_TRUE(copies->causesReprocess());
  EXPECT_EQ(copies->Default(), "\"AUTO\"");
  EXPECT_EQ(copies->possibleUIValues().keys(), (QStringList{"xAUTO", "x'Q'", "x2"}));
  EXPECT_EQ(copies->possibleUIValues().value("xAUTO"), "Auto");
  EXPECT_EQ(copies->possibleValueDescriptions().value("xAUTO"), "");
  EXPECT_EQ(copies->possibleValues().value("x'Q'").toString(), "\"'q'\"");
  EXPECT_EQ(copies->possibleValues().value("x2").toString(), "2");
  PJLTest::loadDefinitions("<pjloptions><category name=\"A\"><option   name=\"X\"></option></category>");
  EXPECT_TRUE(gCategories.isEmpty());
  EXPECT_EQ(gDefaultCategory, "B");
  EXPECT_TRUE(modPJLOpts::CategoryOptions("B").isEmpty());
  EXPECT_EQ(modPJLOpts::FindCategory("copies"), gCategories.value("xB").get());
}

TEST(PJLLoader, RepeatedAttributesAbandonOnlyTheirPart) {
  PJLTest::startLog();
  PJLTest::loadDefinitions(
      "<pjloptions>"
      "<category name=\"A\"><option name=\"O\"><value name=\"1\" name=\"2\">dup</value>"
      "<value name=\"3\">three</value></option></category>"
      "<category name=\"B\" name=\"C\"><option name=\"P\"></option></category>"
      "<category name=\"D\"><option name=\"Q\" quoted=\"1\" quoted=\"1\"></option></category>"
      "<category name=\"E\"></category>"
      "</pjloptions>");
  EXPECT_EQ(modPJLOpts::CategoryNames(), (QStringList{"A", "E"}));
  EXPECT_EQ(definition("A", "O")->possibleUIValues().keys(), QStringList{"x3"});
  EXPECT_FALSE(logHasPrefix(kErrorLine));
}

TEST(PJLLoader, MissingNamesAndRepeatedCategoriesAreReported) {
  PJLTest::startLog();
  PJLTest::loadDefinitions(
      "<pjloptions><category name=\"A\"></category><category name=\"a\"></category></pjloptions>");
  EXPECT_EQ(modPJLOpts::CategoryNames(), QStringList{"A"});
  EXPECT_TRUE(logHasPrefix(kErrorLine));
  PJLTest::startLog();
  PJLTest::loadDefinitions("<pjloptions><category><option name=\"X\"></option></category></pjloptions>");
  EXPECT_TRUE(gCategories.isEmpty());
  EXPECT_TRUE(logHasPrefix(kErrorLine));
}

TEST(PJLLoader, BadFilesLogAClearLineAndLoadWhatTheyCan) {
  PJLTest::startLog();
  PJLTest::loadDefinitions("");
  EXPECT_TRUE(gCategories.isEmpty());
  EXPECT_TRUE(logHas(kErrorLine + modPJLOpts::supportFolder() +
                     "/pjl.xml). Buffer data=\"\".  Error = 'Application-defined or object-defined error'"));

  PJLTest::startLog();
  PJLTest::loadDefinitions("<category name=\"Job\"><option name=\"COPIES\"></option></category>");
  EXPECT_EQ(modPJLOpts::CategoryNames(), QStringList{"Job"});
  EXPECT_TRUE(logHasPrefix(kErrorLine));

  PJLTest::startLog();
  PJLTest::loadDefinitions(
      "<pjloptions><category name=\"A\"></category><pjloptions><category name=\"B\"></category>");
  EXPECT_EQ(modPJLOpts::CategoryNames(), QStringList{"A"});
  EXPECT_TRUE(logHas(kErrorLine + modPJLOpts::supportFolder() +
                     "/pjl.xml). Buffer data=\"jloptions><category name=\"B\"></category>\".  Error = "
                     "'Application-defined or object-defined error'"));
}

TEST(PJLLoader, TruncatedFileEndsCleanly) {
  PJLTest::startLog();
  PJLTest::loadDefinitions(
      "<pjloptions><category name=\"A\"><option name=\"O\"><description>cut\r\n\toff</line>here\r\n  and "
      "more");
  EXPECT_EQ(modPJLOpts::CategoryNames(), QStringList{"A"});
  EXPECT_EQ(definition("A", "O")->description(), "cut off ");
  PJLTest::loadDefinitions("<pjloptions><category name=\"A\"><opt");
  EXPECT_EQ(modPJLOpts::CategoryNames(), QStringList{"A"});
}

TEST(PJLLoader, MissingFileLeavesNoCategories) {
  PJLTest::startLog();
  modPJLOpts::setSupportFolder(TestEnv::freshDir("empty"));
  modPJLOpts::Initialise(true);
  EXPECT_TRUE(gCategories.isEmpty());
  EXPECT_TRUE(logHas("modPJLOpts-Initialise: Error opening PJL data file (" + modPJLOpts::supportFolder() +
                     "/pjl.xml). File not found"));
  EXPECT_TRUE(modPJLOpts::CategoryDescription("Job").isEmpty());
}

}  // namespace
