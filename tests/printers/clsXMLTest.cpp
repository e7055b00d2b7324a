#include <gtest/gtest.h>

#include <QFile>

#include "LogCapture.h"
#include "TestEnv.h"
#include "clsXML.h"

namespace {

QString writeFile(const QString& name, const QByteArray& bytes) {
  const QString path = TestEnv::sandbox() + QLatin1Char('/') + name;
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(bytes);
  return path;
}

// A reader open on a file holding `bytes`.
struct OpenReader {
  explicit OpenReader(const QByteArray& bytes) { EXPECT_TRUE(xml.openFile(writeFile("tags.xml", bytes))); }
  QString next() { return xml.ReadXMLTag(params); }
  clsXML xml;
  KeyedCollection<QString> params;
};

}  // namespace

TEST(clsXMLOpen, MissingFileLogsAndStaysClosed) {
  LogCapture log;
  clsXML xml;
  const QString path = TestEnv::sandbox() + "/nowhere/sizes.xml";
  EXPECT_FALSE(xml.openFile(path));
  const QStringList lines = log.messages();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith("clsXML-openFile: Error opening PJL data file (" + path + "). "));
  EXPECT_GT(lines[0].size(), QString("clsXML-openFile: Error opening PJL data file (" + path + "). ").size());
  KeyedCollection<QString> params;
  EXPECT_EQ(xml.ReadXMLTag(params), "");
  EXPECT_EQ(xml.ReadData("DESC"), "");
}

TEST(clsXMLOpen, FirstReadFillsTheBufferOnceWithTheWholeFile) {
  const QByteArray bytes = "<a>x</a><b>y</b>";
  LogCapture log;
  OpenReader reader(bytes);
  EXPECT_EQ(reader.next(), "A");
  EXPECT_EQ(reader.xml.ReadData("A"), "x");
  EXPECT_EQ(reader.next(), "B");
  EXPECT_EQ(reader.next(), "/B");
  EXPECT_EQ(reader.next(), "");
  EXPECT_EQ(reader.next(), "");
  EXPECT_EQ(log.messages(), QStringList({"clsXML-inBuffer: Filling buffer.",
                                         "clsXML-fillBuffer: Resizing buffer to 16bytes."}));
}

TEST(clsXMLOpen, EmptyFileHasNoTagsAndNeedsNoFill) {
  LogCapture log;
  OpenReader reader("");
  EXPECT_EQ(reader.next(), "");
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST(clsXMLOpen, OpeningAnOpenReaderAgainYieldsNothingFurther) {
  OpenReader reader("<a><b>");
  EXPECT_EQ(reader.next(), "A");
  EXPECT_TRUE(reader.xml.openFile(writeFile("other.xml", "<c>")));
  EXPECT_EQ(reader.next(), "");
}

TEST(clsXMLOpen, ClosedReaderReadsNothing) {
  OpenReader reader("<a><b>");
  EXPECT_EQ(reader.next(), "A");
  reader.xml.closeFile();
  EXPECT_EQ(reader.next(), "");
}

TEST(clsXMLOpen, ShippedCatalogueTagSequence) {
  clsXML xml;
  ASSERT_TRUE(xml.openFile(TestEnv::supportDir() + "/sizes.xml"));
  KeyedCollection<QString> params;
  QStringList tags;
  for (QString tag = xml.ReadXMLTag(params); !tag.isEmpty(); tag = xml.ReadXMLTag(params)) tags.append(tag);
  ASSERT_GE(tags.size(), 8);
  EXPECT_EQ(tags.mid(0, 8),
            QStringList({"?XML", "!--", "MEDIA", "MEDIASIZES", "SIZE", "DESC", "/DESC", "/SIZE"}));
  EXPECT_EQ(tags.last(), "/MEDIA");
  EXPECT_EQ(tags.count("SIZE"), 26 + 36);
  EXPECT_EQ(xml.ReadXMLTag(params), "");
}

TEST(clsXMLTag, NamesAndKeysIgnoreCaseValuesKeepIt) {
  OpenReader reader("<Size NAME=\"Iso_A4\" Id=4><SIZE name=\"iso_a4\" ID=4><size Name=\"ISO_A4\" iD=4>");
  const QStringList values = {"Iso_A4", "iso_a4", "ISO_A4"};
  for (const QString& value : values) {
    EXPECT_EQ(reader.next(), "SIZE");
    EXPECT_EQ(reader.params.keys(), QStringList({"xNAME", "xID"}));
    EXPECT_EQ(reader.params.value("xNAME"), value);
    EXPECT_EQ(reader.params.value("xid"), "4");
  }
}

TEST(clsXMLTag, DeclarationCommentAndClosingTagNames) {
  OpenReader reader("<?xml version=\"1.0\" ?><!-- a comment --></desc>");
  EXPECT_EQ(reader.next(), "?XML");
  EXPECT_EQ(reader.params.value("xVERSION"), "1.0");
  EXPECT_EQ(reader.next(), "!--");
  EXPECT_EQ(reader.next(), "/DESC");
}

TEST(clsXMLTag, OnlyTheBlankSeparates) {
  OpenReader reader("<  tag  a=1 ><tag\r\nattr=1><tag\tb=2 c>");
  EXPECT_EQ(reader.next(), "TAG");
  EXPECT_EQ(reader.params.keys(), QStringList({"x", "xA"}));
  EXPECT_EQ(reader.params.value("x"), "");
  EXPECT_EQ(reader.params.value("xA"), "1");
  EXPECT_EQ(reader.next(), "TAG\r\nATTR=1");
  EXPECT_TRUE(reader.params.isEmpty());
  EXPECT_EQ(reader.next(), "TAG\tB=2");
  EXPECT_EQ(reader.params.keys(), QStringList({"xC"}));
}

TEST(clsXMLTag, QuotedValuesAndValuelessAttributes) {
  OpenReader reader("<size name=\"ISO A4\" flag empty= q='x y' =v><size name=\"ISO A4 id=4>");
  EXPECT_EQ(reader.next(), "SIZE");
  EXPECT_EQ(reader.params.value("xNAME"), "ISO A4");
  EXPECT_TRUE(reader.params.contains("xFLAG"));
  EXPECT_EQ(reader.params.value("xFLAG"), "");
  EXPECT_TRUE(reader.params.contains("xEMPTY"));
  EXPECT_EQ(reader.params.value("xQ"), "'x");
  EXPECT_TRUE(reader.params.contains("xY'"));
  EXPECT_EQ(reader.params.value("x"), "v");
  // An opening quote that never closes: the value ends at the next blank.
  EXPECT_EQ(reader.next(), "SIZE");
  EXPECT_EQ(reader.params.value("xNAME"), "ISO");
  EXPECT_TRUE(reader.params.contains("xA4"));
  EXPECT_EQ(reader.params.value("xID"), "4");
}

TEST(clsXMLTag, RepeatedAttributeFailsTheTagButNotTheReading) {
  OpenReader reader("<size a=1 A=2><x  y  z><next b=3>");
  bool ok = true;
  EXPECT_EQ(reader.xml.ReadXMLTag(reader.params, &ok), "SIZE");
  EXPECT_FALSE(ok);
  EXPECT_EQ(reader.xml.ReadXMLTag(reader.params, &ok), "X");
  EXPECT_FALSE(ok);
  EXPECT_EQ(reader.xml.ReadXMLTag(reader.params, &ok), "NEXT");
  EXPECT_TRUE(ok);
  EXPECT_EQ(reader.params.value("xB"), "3");
}

TEST(clsXMLTag, EmptyTagStopsTheReading) {
  OpenReader reader("<a><><b>");
  EXPECT_EQ(reader.next(), "A");
  EXPECT_EQ(reader.next(), "");
  EXPECT_EQ(reader.next(), "");
}

TEST(clsXMLTag, UnclosedTagStopsTheReading) {
  OpenReader reader("<a>text<b name=1");
  EXPECT_EQ(reader.next(), "A");
  EXPECT_EQ(reader.next(), "");
  EXPECT_TRUE(reader.params.isEmpty());
  EXPECT_EQ(reader.next(), "");
}

TEST(clsXMLData, TextUpToTheClosingTag) {
  OpenReader reader("<desc>Bond</desc><next>");
  EXPECT_EQ(reader.next(), "DESC");
  EXPECT_EQ(reader.xml.ReadData("DESC"), "Bond");
  EXPECT_EQ(reader.next(), "NEXT");
}

TEST(clsXMLData, LineTagBreaksAndLayoutCollapses) {
  OpenReader reader("<desc>one</LINE>two</desc><desc>\r\n    first\r\n\tsecond   <b>line</b>\r\n</desc><z>");
  EXPECT_EQ(reader.next(), "DESC");
  EXPECT_EQ(reader.xml.ReadData("DESC"), "one\r\ntwo");
  EXPECT_EQ(reader.next(), "DESC");
  // Opening tags stay in the text; other closing tags are dropped.
  EXPECT_EQ(reader.xml.ReadData("DESC"), " first second <b>line ");
  EXPECT_EQ(reader.next(), "Z");
}

TEST(clsXMLData, LowerCaseTagNeverMatches) {
  OpenReader reader("<desc>a</desc> b <x>c</y> d");
  EXPECT_EQ(reader.next(), "DESC");
  EXPECT_EQ(reader.xml.ReadData("desc"), "a b <x>c");
  EXPECT_EQ(reader.next(), "");
}

TEST(clsXMLData, UnclosedClosingTagEndsTheText) {
  OpenReader reader("<desc>abc</desc");
  EXPECT_EQ(reader.next(), "DESC");
  EXPECT_EQ(reader.xml.ReadData("DESC"), "abc");
  EXPECT_EQ(reader.next(), "");
}

TEST(clsXMLData, AnsiBytesBecomeTheirCharacters) {
  OpenReader reader("<desc>Gr\xfc\xdf \x80</desc>");
  EXPECT_EQ(reader.next(), "DESC");
  EXPECT_EQ(reader.xml.ReadData("DESC"), QString::fromUtf8("Grüß €"));
}
