#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "PJLTestSupport.h"
#include "TestEnv.h"
#include "clsPJLOptionCategory.h"
#include "clsPJLOptionSet.h"
#include "modPJLOpts.h"

namespace {

class PJLOptionSetTest : public ::testing::Test {
 protected:
  void SetUp() override { PJLTest::loadFixture(); }
  clsPJLOptionSet set;
};

TEST_F(PJLOptionSetTest, GetUpperCasesTheNameAlsoInTheCallersVariable) {
  set.setPjlOpt(QStringLiteral("copies"), QStringLiteral("3"));
  QString name = "copies";
  EXPECT_EQ(set.pjlOpt(name).toString(), "3");
  EXPECT_EQ(name, "COPIES");
  EXPECT_EQ(set.optionNames(), QStringList{"COPIES"});
}

TEST_F(PJLOptionSetTest, QuotesStayOnlyForQuotedOptions) {
  set.setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("ABC"));
  set.setPjlOpt(QStringLiteral("NOSUCH"), QStringLiteral("\"x y\""));
  EXPECT_EQ(set.pjlOpt(QStringLiteral("LABELSTRING")).toString(), "\"ABC\"");
  EXPECT_EQ(set.pjlOpt(QStringLiteral("NOSUCH")).toString(), "x y");
  EXPECT_EQ(set.pjlOpt(QStringLiteral("MISSING"), QStringLiteral("\"d\"")).toString(), "d");
  EXPECT_FALSE(set.pjlOpt(QStringLiteral("MISSING")).isValid());
}

TEST_F(PJLOptionSetTest, MediaNameAndPrintModeStandInForEachOther) {
  set.setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Glossy"));
  EXPECT_EQ(set.option("MEDIANAME")->value(), "\"Glossy\"");
  EXPECT_EQ(set.pjlOpt(QStringLiteral("PRINTMODE"), QString()).toString(), "Glossy");
  clsPJLOptionSet other;
  other.setPjlOpt(QStringLiteral("PRINTMODE"), QStringLiteral("FAST"));
  EXPECT_EQ(other.pjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("x")).toString(), "FAST");
  clsPJLOptionSet empty;
  EXPECT_EQ(empty.pjlOpt(QStringLiteral("PRINTMODE"), QStringLiteral("dflt")).toString(), "dflt");
  EXPECT_EQ(empty.pjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("dflt")).toString(), "dflt");
}

TEST_F(PJLOptionSetTest, SettingNullRemovesAndFlagsReprocess) {
  set.setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("50"));
  set.resetReprocessNeeded();
  set.setPjlOpt(QStringLiteral("PAGESCALING"), QVariant());
  EXPECT_EQ(set.count(), 0);
  EXPECT_TRUE(set.ReprocessNeeded());
  EXPECT_EQ(set.pjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("100")).toString(), "100");
  set.resetReprocessNeeded();
  set.setPjlOpt(QStringLiteral("PAGESCALING"), QVariant());
  EXPECT_FALSE(set.ReprocessNeeded());
}

TEST_F(PJLOptionSetTest, ReprocessFlagFollowsRealChanges) {
  set.setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("50"));
  EXPECT_TRUE(set.ReprocessNeeded());
  set.resetReprocessNeeded();
  set.setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("50"));
  EXPECT_FALSE(set.ReprocessNeeded());
  set.setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Bond"));
  set.resetReprocessNeeded();
  set.setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Bond"));
  EXPECT_TRUE(set.ReprocessNeeded());
  set.resetReprocessNeeded();
  set.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("9"));
  EXPECT_FALSE(set.ReprocessNeeded());
}

TEST_F(PJLOptionSetTest, NamesWithControlCharactersAreRefused) {
  set.setPjlOpt(QStringLiteral("A\r\n@PJL ENTER LANGUAGE=X"), QStringLiteral("1"));
  EXPECT_EQ(set.count(), 0);
  set.UpdateFromString(QStringLiteral("B\n=1"), false);
  EXPECT_EQ(set.count(), 0);
  set.setPjlOpt(QStringLiteral("OWNER"), QStringLiteral("a\r\nb"));
  EXPECT_EQ(set.option("OWNER")->GetPJLString(), "@PJL SET OWNER=\"ab\"\r\n");
}

TEST_F(PJLOptionSetTest, CloneSelectsByLevelAndIsIndependent) {
  set.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("2"));
  set.setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Bond"));
  EXPECT_EQ(set.Clone(true, false)->optionNames(), QStringList{"COPIES"});
  EXPECT_EQ(set.Clone(false, true)->optionNames(), QStringList{"MEDIANAME"});
  EXPECT_EQ(set.Clone(true, true)->count(), 2);
  auto copy = set.Clone(false, false);
  EXPECT_TRUE(copy->ReprocessNeeded());
  copy->setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("5"));
  copy->setPjlOpt(QStringLiteral("MEDIANAME"), QVariant());
  EXPECT_EQ(set.pjlOpt(QStringLiteral("COPIES")).toString(), "2");
  EXPECT_EQ(set.count(), 2);
}

TEST_F(PJLOptionSetTest, MergeFillsPlaceholdersAndAddsNewOptions) {
  set.setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("Job $labelstring$"));
  clsPJLOptionSet incoming;
  incoming.setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("ABC"));
  incoming.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("4"));
  set.Merge(incoming, true);
  EXPECT_EQ(set.option("LABELSTRING")->value(), "\"Job ABC\"");
  EXPECT_EQ(set.optionNames(), (QStringList{"LABELSTRING", "COPIES"}));
  incoming.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("8"));
  EXPECT_EQ(set.pjlOpt(QStringLiteral("COPIES")).toString(), "4");
}

TEST_F(PJLOptionSetTest, MergeOfNewReprocessOptionSetsFlagOnlyWhenNewOptionsAreUnexpected) {
  clsPJLOptionSet incoming;
  incoming.setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("50"));
  incoming.resetReprocessNeeded();
  set.Merge(incoming, true);
  EXPECT_FALSE(set.ReprocessNeeded());
  clsPJLOptionSet other;
  other.Merge(incoming, false);
  EXPECT_TRUE(other.ReprocessNeeded());
}

TEST_F(PJLOptionSetTest, UpdateFromStringKeepsExistingJobOptionsWhenAsked) {
  set.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("2"));
  set.UpdateFromString(QStringLiteral("COPIES=5"), true);
  EXPECT_EQ(set.pjlOpt(QStringLiteral("COPIES")).toString(), "2");
  set.UpdateFromString(QStringLiteral("COPIES=5"), false);
  EXPECT_EQ(set.pjlOpt(QStringLiteral("COPIES")).toString(), "5");
  set.UpdateFromString(QStringLiteral("labelstring=Hi there"), true);
  EXPECT_EQ(set.option("LABELSTRING")->value(), "\"Hi there\"");
  set.UpdateFromString(QStringLiteral("nonsense"), false);
  EXPECT_EQ(set.count(), 2);
}

TEST_F(PJLOptionSetTest, WriteAndReadRoundTrip) {
  set.setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("A, \"B\""));
  set.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("3"));
  set.option("COPIES")->supported = true;
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(set.WriteToFile(buffer));
  EXPECT_EQ(buffer.data(), "2\r\n\"LABELSTRING\",N,\"A, B\"\r\n\"COPIES\",Y,3\r\n");
  buffer.close();
  buffer.open(QIODevice::ReadOnly);
  clsPJLOptionSet back;
  ASSERT_TRUE(back.ReadFromFile(buffer));
  EXPECT_EQ(back.optionNames(), (QStringList{"LABELSTRING", "COPIES"}));
  EXPECT_EQ(back.option("LABELSTRING")->value(), "\"A, B\"");
  EXPECT_TRUE(back.option("COPIES")->supported);
  EXPECT_FALSE(back.option("LABELSTRING")->supported);
}

TEST_F(PJLOptionSetTest, ReadFailsOnShortFilesAndRepeatedNames) {
  QBuffer shortFile;
  shortFile.setData("3\r\n\"A\",N,1\r\n");
  shortFile.open(QIODevice::ReadOnly);
  EXPECT_FALSE(set.ReadFromFile(shortFile));
  EXPECT_EQ(set.optionNames(), QStringList{"A"});
  QBuffer repeated;
  repeated.setData("2\r\n\"B\",N,1\r\n\"b\",N,2\r\n");
  repeated.open(QIODevice::ReadOnly);
  clsPJLOptionSet other;
  EXPECT_FALSE(other.ReadFromFile(repeated));
  QBuffer noNumber;
  noNumber.setData("x\r\n");
  noNumber.open(QIODevice::ReadOnly);
  EXPECT_FALSE(other.ReadFromFile(noNumber));
}

TEST_F(PJLOptionSetTest, CommandListNamesEveryOption) {
  clsPJLOptionCategory category;
  EXPECT_EQ(category.CommandList(), ",,");
  category.Commands.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("1"));
  category.Commands.setPjlOpt(QStringLiteral("OWNER"), QStringLiteral("x"));
  EXPECT_EQ(category.CommandList(), ",COPIES,OWNER,");
}

TEST_F(PJLOptionSetTest, GenXMLWritesTheDefinitionsBackTranslated) {
  const QString table = TestEnv::sandbox() + "/langs.csv";
  QFile file(table);
  file.open(QIODevice::WriteOnly);
  file.write("Auftrag,Job\r\nKopien~ des Auftrags\xa3 bitte,Copies of the job\r\n");
  file.close();
  clsPJLOptionSet::setTranslationTable(table);
  QString a, b, c;
  EXPECT_TRUE(clsPJLOptionSet::lookupPJL("Job", a, b, c));
  EXPECT_EQ(c, "Auftrag");
  EXPECT_FALSE(clsPJLOptionSet::lookupPJL("", a, b, c));
  const QString xml = set.GenXML();
  clsPJLOptionSet::setTranslationTable(QString());
  EXPECT_TRUE(
      xml.startsWith("<?xml version='1.0' ?>\r\n<!-- This file define the available PJL Commands -->\r\n"
                     "<pjloptions>\r\n    <category name=\"Auftrag\">\r\n"));
  EXPECT_TRUE(xml.contains("            <description>Kopien\" des Auftrags, bitte</description>\r\n"));
  EXPECT_TRUE(xml.contains("            <value name=\"\">See documentation for other values</value>\r\n"));
  EXPECT_TRUE(xml.contains("            <value name=\"Glossy Paper\">Shiny paper</value>\r\n"));
  EXPECT_TRUE(xml.endsWith("    </category>\r\n</pjloptions>\r\n"));
}

}  // namespace
