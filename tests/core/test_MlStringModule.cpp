#include "MLRuntime.h"
#include "MlStringModule.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <map>

namespace {

// The English texts exactly as the program must show them.
const std::map<int, QString> kEnglish = {
    {1, "Pelva Dravmit"},
    {2, "Enable Label"},
    {3, "mm"},
    {4, "Font:"},
    {5, "Text:"},
    {6, "Shading:"},
    {7, "Rotate:"},
    {8, "Location:"},
    {9, "X"},
    {10, "Y"},
    {11, "Size:"},
    {12, "Enable Finishing"},
    {13, "Inteligent Title Block"},
    {14, "Title Block:"},
    {15, "Program:"},
    {16, "Optimise Lines"},
    {17, "1"},
    {18, "Mirror:"},
    {19, "Justification:"},
    {20, "Media Source:"},
    {21, "Media Type:"},
    {22, "Copies:"},
    {23, "Scale:"},
    {24, "New"},
    {25, "Open"},
    {26, "Save"},
    {27, "Print"},
    {28, "Cut"},
    {29, "Copy"},
    {30, "Paste"},
    {31, "Insert"},
    {32, "Delete"},
    {33, "View"},
    {34, "General"},
    {35, "Finishing"},
    {36, "Labelling"},
    {37, "Job Options"},
    {38, "Job Accounting"},
    {39, "Printer:"},
    {40, "Account ID"},
    {41, "User ID"},
    {42, "Collate:"},
    {43, "Name:"},
    {44, "Document"},
    {45, "Size"},
    {46, "Size"},
    {47, "Scale"},
    {48, "Label"},
    {49, "Documents:"},
    {50, "&File"},
    {51, "&New"},
    {52, "&Open..."},
    {53, "&Save"},
    {54, "Save &As..."},
    {55, "-"},
    {56, "&Print"},
    {57, "Se&ttings..."},
    {58, "E&xit"},
    {59, "&Edit"},
    {60, "Cu&t"},
    {61, "&Copy"},
    {62, "&Paste"},
    {63, "C&opy Options"},
    {64, "P&aste Options"},
    {65, "&Insert"},
    {66, "&Delete"},
    {67, "&View"},
    {68, "Settings"},
    {69, "..."},
    {70, "&OK"},
    {71, "&Cancel"},
    {72, "Name"},
    {73, "Address"},
    {74, "Model"},
    {75, "Version"},
    {76, "Size Ranges:"},
    {77, "Units:"},
    {78, "Viewer:"},
    {79, "Printers:"},
    {80, "Printer Details"},
    {81, "Address:"},
    {82, "Skip"},
    {83, "Advanced"},
    {84, "&Help"},
    {85, "&About"},
    {86, "Select Language"},
    {87, "Show this dialog when the program starts"},
    {88, "OK"},
    {90, "File"},
    {91, "About "},
    {93, "Warning: this computer program is protected by copyright law and international treaties. Unauthorised reproduction or distribution of this program, or any portion of it, may result in severe civil and criminal penalties. "},
    {94, "Copyright (C) Pelva. All rights reserved."},
    {95, "Skyplain and Vondir are trademarks of Pelva."},
    {98, "Copies"},
    {99, "Media"},
    {100, "Finishing"},
    {101, "Could Not Read File"},
    {102, "Connecting to "},
    {103, "Checking "},
    {104, "Could not add printer."},
    {105, "Printer Communication Error"},
    {106, "Inches"},
    {109, "Insert Documents"},
    {111, "Open Job Ticket"},
    {113, "Could not load job ticket."},
    {114, "Open Failed"},
    {115, "The print job could not be completed."},
    {116, "Printing Failed"},
    {117, "Could not save job ticket."},
    {118, "Save Failed"},
    {119, "Save Job Ticket"},
    {120, "Printer details may be incorrect."},
    {121, "Select Viewer"},
    {122, "B"},
    {123, "KB"},
    {124, "MB"},
    {125, "GB"},
    {126, "The print job could not be completed"},
    {127, "   where:"},
    {128, "Is the path and filename of job ticket file to load."},
    {129, "Selects the destination printer name."},
    {130, "Specifies a PJL option (eg. COPIES) and a value."},
    {131, "Multiple occurances allowed. Document specific options must follow the /ADD docfile entry."},
    {132, "Adds the file docfile to the job set."},
    {133, "Multiple occurances allowed."},
    {134, "Causes the job to be printed automatically."},
    {135, "Quit after printing."},
    {136, "Command Line Options"},
    {137, "Document Files"},
    {138, "All Files"},
    {139, "Job Ticket Files"},
    {140, "All Programs"},
    {141, "Name:"},
    {142, "No"},
    {143, "Yes"},
    {144, "Warning: this computer program is protected by copyright law and international treaties. Unauthorised reproduction or distribution of this program, or any portion of it, may result in severe civil and criminal penalties. "},
    {145, "Copies of Document:"},
    {146, "&Change Language"},
};

class Texts : public ::testing::Test {
 protected:
  void TearDown() override { gLanguageID = 0; }
};

}  // namespace

TEST_F(Texts, EveryEnglishTextIsExact) {
  SetLanguage(9, "English");
  for (const auto& [id, text] : kEnglish) EXPECT_EQ(GetResString(id), text) << "id " << id;
  EXPECT_TRUE(GetResString(89).isEmpty());
}

TEST_F(Texts, WarningEndsInOneBlankAndTheNoticesNameTheMaker) {
  SetLanguage(9, "English");
  EXPECT_EQ(GetResString(93), GetResString(144));
  EXPECT_TRUE(GetResString(93).endsWith("s. "));
  EXPECT_TRUE(GetResString(94).contains("Pelva"));
}

TEST_F(Texts, BeforeAnyLanguageIsChosenTextsAreEnglish) {
  gLanguageID = 0;
  EXPECT_EQ(GetResString(75, "ignored"), "Version");
}

TEST_F(Texts, TellingTranslations) {
  const std::map<int, std::map<int, QString>> telling = {
      {86, {{1031, QString::fromUtf8("Sprache auswählen")}, {1034, "Selecciona idioma"},
            {1036, QString::fromUtf8("Sélectionner la Langue")}, {1040, "Seleziona lingua"}, {1043, "Kies Taal"}}},
      {88, {{1031, "OK"}, {1034, "&Aceptar"}, {1036, "OK"}, {1040, "OK"}, {1043, "OK"}}},
      {106, {{1031, "Zoll"}, {1034, "Pulgadas"}, {1036, "Pouces"}, {1040, "Pollici"}, {1043, "Inches"}}},
      {122, {{1031, "B"}, {1034, "B"}, {1036, "Octets"}, {1040, "B"}, {1043, "B"}}},
  };
  for (const auto& [id, byLanguage] : telling)
    for (const auto& [lcid, text] : byLanguage) {
      SetLanguage(lcid, "");
      EXPECT_EQ(GetResString(id), text) << "id " << id << " language " << lcid;
    }
}

TEST_F(Texts, EveryLanguageTranslatesAllButItsGaps) {
  for (const int lcid : {1036, 1031, 1034, 1040, 1043}) {
    SetLanguage(lcid, "");
    for (const auto& [id, english] : kEnglish) {
      const bool gap = id == 1 || id == 3 || id == 17 || id == 69 || (id == 131 && lcid == 1040);
      const QString text = GetResString(id);
      if (gap) {
        EXPECT_EQ(text, english) << "falls back to English: id " << id << " language " << lcid;
      } else {
        EXPECT_FALSE(text.isEmpty()) << "id " << id << " language " << lcid;
      }
    }
    EXPECT_NE(GetResString(75, "Version"), QString()) << lcid;
  }
}

TEST_F(Texts, UnsupportedLanguagesSelectEnglish) {
  SetLanguage(1036, "");
  EXPECT_EQ(gLanguageID, 1036);
  SetLanguage(2070, "");
  EXPECT_EQ(gLanguageID, 9);
  SetLanguage(1036, "");
  SetLanguage(0, "");
  EXPECT_EQ(gLanguageID, 9);
}

TEST(Languages, SupportedListAndNames) {
  EXPECT_EQ(SupportedLanguages(), (QList<int>{9, 1036, 1031, 1034, 1040, 1043}));
  EXPECT_EQ(LanguageName(9), "English");
  EXPECT_EQ(LanguageName(1036), "Invalid Language Index");
  EXPECT_EQ(GetLanguageNativeName(1031), "Deutsch");
  EXPECT_TRUE(GetLanguageNativeName(4242).isEmpty());
}

TEST(Languages, SecondInitIsHarmless) {
  InitLocalisation();
  InitLocalisation();
  SetLanguage(9, "");
  EXPECT_EQ(GetResString(27), "Print");
}

TEST(Languages, ChangeReachesEveryListener) {
  MLRuntime::RuntimeSupport first;
  MLRuntime::RuntimeSupport second;
  QSignalSpy firstSpy(&first, &MLRuntime::RuntimeSupport::LanguageChanged);
  QSignalSpy secondSpy(&second, &MLRuntime::RuntimeSupport::LanguageChanged);
  first.SetLanguage(1031, "Deutsch");
  ASSERT_EQ(firstSpy.count(), 1);
  ASSERT_EQ(secondSpy.count(), 1);
  EXPECT_EQ(secondSpy.at(0).at(0).toInt(), 1031);
  EXPECT_EQ(secondSpy.at(0).at(1).toString(), "Deutsch");
}

TEST(StringTableFormat, RejectsBadLinesAndKeepsEscapes) {
  QHash<int, QString> table;
  ASSERT_TRUE(MLRuntime::StringTable::parseTable("# comment\n7 \"say \\\"hi\\\" \\\\ \"\r\n", table));
  EXPECT_EQ(table.value(7), "say \"hi\" \\ ");
  QString error;
  EXPECT_FALSE(MLRuntime::StringTable::parseTable("8 \"ok\"\nnine \"bad\"\n", table, &error));
  EXPECT_TRUE(error.startsWith("line 2"));
  EXPECT_EQ(table.size(), 1);
}
