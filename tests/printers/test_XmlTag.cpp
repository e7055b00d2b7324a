#include "XmlTag.h"

#include <gtest/gtest.h>

TEST(XmlTag, UpperCasesNameAndKeysButKeepsValues) {
  const XmlTag tag = XmlTag::split("desc id=1040");
  EXPECT_EQ(tag.name, "DESC");
  ASSERT_EQ(tag.params.size(), 1);
  EXPECT_EQ(tag.params.value("xID"), "1040");
  const XmlTag mixed = XmlTag::split("Size Name=\"Iso_A4\"");
  EXPECT_EQ(mixed.name, "SIZE");
  EXPECT_EQ(mixed.params.value("xNAME"), "Iso_A4");
}

TEST(XmlTag, ClosingTagsAndDeclarationsKeepTheirMarks) {
  EXPECT_EQ(XmlTag::split("/desc").name, "/DESC");
  EXPECT_EQ(XmlTag::split("?xml version=\"1.0\"?").name, "?XML");
  EXPECT_EQ(XmlTag::split("!-- a comment --").name, "!--");
  EXPECT_TRUE(XmlTag::split("/desc").params.isEmpty());
}

TEST(XmlTag, QuotedValueMayHoldBlanks) {
  const XmlTag tag = XmlTag::split("category name=\"Size, Media and Layout\" joboptions=\"0\"");
  EXPECT_EQ(tag.params.value("xNAME"), "Size, Media and Layout");
  EXPECT_EQ(tag.params.value("xJOBOPTIONS"), "0");
}

TEST(XmlTag, UnclosedQuoteEndsAtTheNextBlank) {
  const XmlTag tag = XmlTag::split("value name=\"A B");
  EXPECT_EQ(tag.params.value("xNAME"), "A");
  EXPECT_TRUE(tag.params.contains("xB"));
}

TEST(XmlTag, AttributesWithoutValues) {
  const XmlTag tag = XmlTag::split("option name quoted= reprocess");
  EXPECT_EQ(tag.params.size(), 3);
  EXPECT_EQ(tag.params.value("xNAME", "?"), "");
  EXPECT_EQ(tag.params.value("xQUOTED", "?"), "");
  EXPECT_EQ(tag.params.value("xREPROCESS", "?"), "");
}

TEST(XmlTag, SingleQuotesStayAndDoubleQuotesGo) {
  const XmlTag tag = XmlTag::split("value name='A' uiname=\"B\"\"C\"");
  EXPECT_EQ(tag.params.value("xNAME"), "'A'");
  EXPECT_EQ(tag.params.value("xUINAME"), "BC");
}

TEST(XmlTag, BlanksAroundEqualsSplitTheAttribute) {
  const XmlTag tag = XmlTag::split("option name = \"\"");
  EXPECT_EQ(tag.params.value("xNAME", "?"), "");
  EXPECT_EQ(tag.params.value("x", "?"), "");
}

TEST(XmlTag, TwoBlanksGiveTheEmptyKeyAndARepeatIsReported) {
  EXPECT_TRUE(XmlTag::split("a  b").params.contains("x"));
  EXPECT_FALSE(XmlTag::split("a  b").duplicateAttribute);
  EXPECT_TRUE(XmlTag::split("a  b  c").duplicateAttribute);
  const XmlTag repeated = XmlTag::split("size name=A NAME=B");
  EXPECT_TRUE(repeated.duplicateAttribute);
  EXPECT_EQ(repeated.params.value("xNAME"), "A");
}

TEST(XmlTag, OnlyTheBlankSeparates) {
  const XmlTag tag = XmlTag::split("  value\tname=A  ");
  EXPECT_EQ(tag.name, "VALUE\tNAME=A");
  EXPECT_TRUE(tag.params.isEmpty());
}
