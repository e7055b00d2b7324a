#include <gtest/gtest.h>

#include <QFile>
#include <QHash>

#include "PJLTestSupport.h"
#include "clsPJLOptionCategory.h"
#include "modPJLOpts.h"

namespace {

// Every option with its values, category by category, of the loaded definitions.
QHash<QString, QStringList> loadedValues() {
  QHash<QString, QStringList> values;
  for (const auto& category : gCategories)
    for (const auto& option : category.second->Commands.jobOptions) {
      QStringList list;
      for (const auto& value : option.second->possibleValues()) list.append(value.second.toString());
      values.insert(option.first, list);
    }
  return values;
}

void loadShipped(const QString& fileName) {
  const QString folder = PJLTest::shippedFolder();
  PJLTest::loadDefinitions([&] {
    QFile file(folder + "/" + fileName);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }());
}

TEST(ShippedDefinitions, EnglishFileDefinesNineCategoriesAndEveryNamedOption) {
  loadShipped("pjl.xml");
  EXPECT_EQ(modPJLOpts::CategoryNames(),
            (QStringList{"Job", "Accounting", "Destination", "Finishing", "Labelling", "Stamping",
                         "Rendering", "Size, Media and Layout", "Other"}));
  EXPECT_TRUE(gCategories.value("xJob")->jobOptions);
  EXPECT_TRUE(gCategories.value("xAccounting")->jobOptions);
  EXPECT_FALSE(gCategories.value("xDestination")->jobOptions);
  EXPECT_EQ(gDefaultCategory, "Other");

  clsPJLOption* copies = gCategories.value("xJob")->Commands.option("COPIES");
  ASSERT_TRUE(copies);
  EXPECT_EQ(copies->Default(), "1");
  EXPECT_FALSE(copies->listOnly());
  EXPECT_FALSE(copies->description().isEmpty());

  for (const char* name :
       {"COPIES",      "PRIORITY",     "HOLDRELEASE",    "COLLATIONENABLE", "OWNER",       "ACCT_ACCTID",
        "ACCT_USERID", "DOCCOPIES",    "MEDIASOURCE",    "FINISHPROGID",    "TITLEBLOCK",  "FININTTITLEBLOCK",
        "LABELSTRING", "LABELFONTOBJ", "LABELFONT",      "LABELSHADING",    "LABELROTATE", "LABELSIZE",
        "LABELLOCX",   "LABELLOCY",    "LABELABSX",      "LABELABSY",       "RENDERMODE",  "LINESCALEMODE",
        "PAPER",       "MEDIANAME",    "PRINTMODE",      "PAGESCALING",     "PAGEROTATE",  "MIRRORIMAGE",
        "JUSTIFYX",    "JUSTIFYY",     "SOURCEFILENAME", "SOURCEFILEEXT"})
    EXPECT_TRUE(modPJLOpts::FindCategory(name)->Commands.option(name)) << name;
  EXPECT_TRUE(modPJLOpts::FindCategory("COPIES")->jobOptions);
  EXPECT_FALSE(modPJLOpts::FindCategory("DOCCOPIES")->jobOptions);

  clsPJLOption media;
  media.name = "MEDIANAME";
  EXPECT_TRUE(media.quoted());
  EXPECT_EQ(media.Default(), "\"ANY\"");
  clsPJLOption hold;
  hold.name = "HOLDRELEASE";
  EXPECT_EQ(hold.uiDefault(), "None");
  clsPJLOption scale;
  scale.name = "PAGESCALING";
  scale.setUiValue("Auto");
  EXPECT_EQ(scale.value(), "AUTO");
}

TEST(ShippedDefinitions, TranslationsCarryTheSameOptionsAndValues) {
  loadShipped("pjl.xml");
  const QHash<QString, QStringList> english = loadedValues();
  const QString englishDescription = modPJLOpts::CategoryDescription("Job");
  ASSERT_GT(english.size(), 70);
  for (const char* file : {"pjl-1031.xml", "pjl-1034.xml", "pjl-1036.xml", "pjl-1040.xml"}) {
    loadShipped(file);
    EXPECT_EQ(gCategories.size(), 9) << file;
    EXPECT_TRUE(gCategories.at(0)->jobOptions) << file;
    EXPECT_TRUE(gCategories.at(1)->jobOptions) << file;
    EXPECT_FALSE(gCategories.at(2)->jobOptions) << file;
    EXPECT_EQ(gDefaultCategory, gCategories.at(8)->name) << file;
    EXPECT_NE(gCategories.at(0)->description, englishDescription) << file;
    EXPECT_EQ(loadedValues(), english) << file;
  }
}

}  // namespace
