#include <gtest/gtest.h>

#include "PJLTestSupport.h"
#include "clsPJLOption.h"
#include "clsPJLOptionCategory.h"
#include "modPJLOpts.h"

namespace {

class PJLOptionTest : public ::testing::Test {
 protected:
  void SetUp() override { PJLTest::loadFixture(); }

  static std::unique_ptr<clsPJLOption> option(const QString& name, const QString& value = QString()) {
    auto o = std::make_unique<clsPJLOption>();
    o->name = name;
    if (!value.isNull()) o->setValue(value);
    return o;
  }
};

TEST_F(PJLOptionTest, PJLLineIsByteExactForQuotedAndUnquotedOptions) {
  EXPECT_EQ(option("MEDIANAME", "Glossy Paper")->GetPJLString(), "@PJL SET MEDIANAME=\"Glossy Paper\"\r\n");
  EXPECT_EQ(option("COPIES", "3")->GetPJLString(), "@PJL SET COPIES=3\r\n");
}

TEST_F(PJLOptionTest, QuotedValueKeepsExactlyOnePairOfQuotes) {
  EXPECT_EQ(option("LABELSTRING", "\"ab\"c\"")->value(), "\"abc\"");
  EXPECT_EQ(option("COPIES", "\"3\"")->value(), "\"3\"");
}

TEST_F(PJLOptionTest, ControlCharactersNeverReachThePJLLine) {
  auto o = option("OWNER", "bob\r\n@PJL SET EVIL=1");
  EXPECT_EQ(o->GetPJLString(), "@PJL SET OWNER=\"bob@PJL SET EVIL=1\"\r\n");
  o->name = "OWN\nER";
  EXPECT_EQ(o->GetPJLString().count("\r\n"), 1);
  EXPECT_FALSE(o->GetPJLString().contains('\n' + QString("ER")));
  o->setUiValue("x\ry");
  EXPECT_EQ(o->value(), "xy");
}

TEST_F(PJLOptionTest, WorkingOptionInheritsFlagsAndSharesListsOfItsDefinition) {
  auto o = option("COATING");
  EXPECT_TRUE(o->quoted());
  EXPECT_TRUE(o->causesReprocess());
  EXPECT_EQ(o->Default(), "\"ANY\"");
  EXPECT_EQ(o->possibleValues().size(), 2);
  const auto* definition = modPJLOpts::FindCategory("COATING")->Commands.option("COATING");
  EXPECT_EQ(&o->possibleValues(), &const_cast<clsPJLOption*>(definition)->possibleValues());
}

TEST_F(PJLOptionTest, ListsSurviveAReloadOfTheDefinitions) {
  auto o = option("COATING");
  ASSERT_EQ(o->possibleUIValues().size(), 2);
  modPJLOpts::Initialise(true);
  EXPECT_EQ(o->possibleUIValues().value("xGLOSSY PAPER"), "Glossy");
  EXPECT_EQ(o->possibleValues().value("xGLOSSY").toString(), "\"Glossy Paper\"");
}

TEST_F(PJLOptionTest, UnknownOptionHasNoFlagsNoListsAndIsListOnly) {
  auto o = option("NOSUCH", "1");
  EXPECT_FALSE(o->quoted());
  EXPECT_FALSE(o->causesReprocess());
  EXPECT_TRUE(o->possibleValues().isEmpty());
  EXPECT_TRUE(o->listOnly());
  EXPECT_EQ(o->category(), "Other");
  EXPECT_TRUE(o->isDocOption());
}

TEST_F(PJLOptionTest, NoCategoryAndNoCatchAllMeansNoMasterDefinition) {
  PJLTest::loadDefinitions("<pjloptions><category name=\"Job\"><option name=\"COPIES\"></option></category>");
  gDefaultCategory.clear();
  auto o = option("UNLISTED", "1");
  EXPECT_EQ(modPJLOpts::FindCategory("UNLISTED"), nullptr);
  EXPECT_FALSE(o->quoted());
  EXPECT_EQ(o->category(), "");
  EXPECT_FALSE(o->isJobOption());
  EXPECT_EQ(o->GetPJLString(), "@PJL SET UNLISTED=1\r\n");
}

TEST_F(PJLOptionTest, UiValueMapsDisplayNamesToValues) {
  auto o = option("PAGESCALING");
  o->setUiValue("Auto");
  EXPECT_EQ(o->value(), "AUTO");
  EXPECT_EQ(o->uiValue(), "Auto");
  o->setUiValue("50%");
  EXPECT_EQ(o->value(), "50");
  o->setUiValue("Unlisted text");
  EXPECT_EQ(o->value(), "Unlisted text");
  auto media = option("COATING");
  media->setUiValue("Glossy");
  EXPECT_EQ(media->value(), "\"Glossy Paper\"");
  EXPECT_FALSE(o->listOnly());
  EXPECT_TRUE(media->listOnly());
}

TEST_F(PJLOptionTest, UiDefaultGivesAnEmptyOptionItsDefault) {
  auto o = option("COATING");
  EXPECT_EQ(o->uiDefault(), "Any");
  EXPECT_EQ(o->value(), "\"ANY\"");
}

TEST_F(PJLOptionTest, ValueDescriptionFallsBackToTheFreeEntryText) {
  auto o = option("COPIES", "1");
  EXPECT_EQ(o->valueDescription(), "One copy");
  o->setValue("7");
  EXPECT_EQ(o->valueDescription(), "Enter a value from 1 to 999.");
  EXPECT_EQ(o->description(), "");
}

TEST_F(PJLOptionTest, SetFromPJLStringParsesNameAndValue) {
  auto o = option("X");
  EXPECT_TRUE(o->SetFromPJLString(" COPIES = 3 "));
  EXPECT_EQ(o->name, "COPIES");
  EXPECT_EQ(o->value(), "3");
  EXPECT_TRUE(o->SetFromPJLString("A=1"));
  EXPECT_EQ(o->name, "A");
  EXPECT_FALSE(o->SetFromPJLString("=3"));
  EXPECT_FALSE(o->SetFromPJLString("COPIES"));
  EXPECT_FALSE(o->SetFromPJLString(" x"));
  EXPECT_FALSE(o->SetFromPJLString("A\rB=1"));
  auto label = option("");
  EXPECT_TRUE(label->SetFromPJLString("LABELSTRING=Hello world"));
  EXPECT_EQ(label->value(), "\"Hello world\"");
}

TEST_F(PJLOptionTest, GetStringAndSetFromStringRoundTrip) {
  auto o = option("LABELSTRING", "ABC");
  EXPECT_EQ(o->GetString(), "\"LABELSTRING\",N,\"ABC\"");
  o->supported = true;
  auto back = option("");
  ASSERT_TRUE(back->SetFromString(o->GetString()));
  EXPECT_EQ(back->name, "LABELSTRING");
  EXPECT_TRUE(back->supported);
  EXPECT_EQ(back->value(), "\"ABC\"");
  EXPECT_FALSE(back->SetFromString("no name here"));
  auto copies = option("");
  EXPECT_TRUE(copies->SetFromString("\"COPIES\",y,4,5"));
  EXPECT_EQ(copies->value(), "4,5");
  EXPECT_TRUE(copies->supported);
}

TEST_F(PJLOptionTest, CloneIsIndependent) {
  auto o = option("OWNER", "ann");
  o->supported = true;
  auto copy = o->Clone();
  EXPECT_EQ(copy->name, "OWNER");
  EXPECT_TRUE(copy->supported);
  EXPECT_EQ(copy->value(), "\"ann\"");
  copy->setValue("bob");
  EXPECT_EQ(o->value(), "\"ann\"");
}

TEST_F(PJLOptionTest, JobAndDocumentOptionsFollowTheirCategory) {
  EXPECT_TRUE(option("COPIES")->isJobOption());
  EXPECT_TRUE(option("MEDIANAME")->isDocOption());
  EXPECT_EQ(option("MEDIANAME")->category(), "Size, Media and Layout");
  EXPECT_EQ(option("copies")->category(), "Other");
}

}  // namespace
