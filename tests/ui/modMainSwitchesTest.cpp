#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#include "MessageBox.h"
#include "MlStringModule.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"
#include "modMain.h"

namespace {

QString optionOf(clsPJLOptionSet& set, const QString& name) { return set.pjlOpt(name).toString(); }

class Switches : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = TestEnv::freshDir(QStringLiteral("docs"));
    for (const char* name : {"plan.plt", "photo.tif"}) QFile(folder + "/" + name).open(QIODevice::WriteOnly);
  }
  void TearDown() override { gSettings.reset(); }

  modMain::SwitchFlags apply(const QStringList& arguments) { return modMain::ApplySwitches(arguments, job); }
  QString doc(const char* name) const { return folder + "/" + name; }

  clsJob job;
  QString folder;
};

}  // namespace

// "/" and "-" follow one rule: a switch name is a switch, anything else holding
// a further "/" is a path.
TEST(SwitchRule, SlashAndDashArgumentsAreSwitchesUnlessTheyReadAsPaths) {
  const struct {
    const char* argument;
    bool isSwitch;
  } cases[] = {
      {"/PRINT", true},
      {"/print", true},
      {"/q", true},
      {"/?", true},
      {"-x", true},
      {"--ADD", true},
      {"-p", true},
      {"--xshowlog", true},
      {"/Printer", true},
      {"/unknown", true},
      {"-", true},
      {"/home/ann/plans.kvt", false},
      {"/tmp/a", false},
      {"-plans/today.kvt", false},
      {"--old/plans.kvt", false},
      {"plans.kvt", false},
      {"", false},
      {"a/b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(modMain::isSwitch(c.argument), c.isSwitch) << c.argument;
}

TEST_F(Switches, OptsBeforeAndAfterAddGoToDefaultsDocumentOrJob) {
  const auto flags = apply({"/OPTS", "COPIES=3", "/ADD", doc("plan.plt"), "/OPTS", "PAPER=A4", "/OPTS",
                            "copies=2", "/OPTS", "media=Glossy Film"});
  EXPECT_FALSE(flags.print || flags.quit || flags.usage);
  ASSERT_EQ(job.documentCount(), 1);
  clsPJLOptionSet& opts = *job.docs().at(0)->opts;
  EXPECT_EQ(optionOf(*job.jobOpts, "COPIES"), "2");
  EXPECT_EQ(optionOf(opts, "PAPER"), "A4");
  EXPECT_EQ(optionOf(opts, "MEDIA"), "Glossy Film");
  EXPECT_TRUE(optionOf(opts, "COPIES").isEmpty());
  EXPECT_EQ(job.docDefaults->count(), 0);
}

TEST_F(Switches, OptsBeforeAnyAddSetsADefaultWithItsNameUpperCased) {
  apply({"/OPTS", "paper=a4", "--opts", "LABELSTRING=x=y", "/OPTS", "NOEQUALS", "/OPTS", "=A4"});
  EXPECT_EQ(optionOf(*job.docDefaults, "PAPER"), "a4");
  // A quoted option gets its quotes as the set writes it.
  EXPECT_EQ(optionOf(*job.docDefaults, "LABELSTRING"), "\"x=y\"");
  EXPECT_EQ(job.docDefaults->count(), 2);
}

TEST_F(Switches, PrinterOrATicketNameEndsTheDocumentsOptions) {
  apply({"/ADD", doc("plan.plt"), "/PRINTER", "Nowhere", "/OPTS", "PAPER=A3", "/ADD", doc("photo.tif"),
         "job.kvt", "/OPTS", "SCALE=50"});
  EXPECT_EQ(optionOf(*job.docDefaults, "PAPER"), "A3");
  EXPECT_EQ(optionOf(*job.docDefaults, "SCALE"), "50");
  ASSERT_EQ(job.documentCount(), 2);
  EXPECT_EQ(job.docs().at(1)->opts->count(), 1);
  EXPECT_EQ(job.kvtFile, "job.kvt");
}

TEST_F(Switches, AddTakesAnAbsolutePathAndPrintAndQuitKeepTheDocumentTarget) {
  const auto flags = apply({"/add", doc("plan.plt"), "/p", "-Q", "/OPTS", "PAPER=A1"});
  EXPECT_TRUE(flags.print);
  EXPECT_TRUE(flags.quit);
  ASSERT_EQ(job.documentCount(), 1);
  EXPECT_EQ(job.docs().at(0)->fileName, doc("plan.plt"));
  EXPECT_EQ(optionOf(*job.docs().at(0)->opts, "PAPER"), "A1");
}

TEST_F(Switches, ADashArgumentHoldingASlashIsATicketOrADocument) {
  QDir(folder).mkdir("-plans");
  QFile(doc("-plans/tower.plt")).open(QIODevice::WriteOnly);
  const QString started = QDir::currentPath();
  QDir::setCurrent(folder);
  const auto flags = apply({"-plans/today.kvt", "/ADD", "-plans/tower.plt", "/OPTS", "PAPER=A1"});
  QDir::setCurrent(started);
  EXPECT_FALSE(flags.usage);
  EXPECT_EQ(job.kvtFile, "-plans/today.kvt");
  ASSERT_EQ(job.documentCount(), 1);
  EXPECT_EQ(job.docs().at(0)->fileName, "-plans/tower.plt");
  EXPECT_EQ(optionOf(*job.docs().at(0)->opts, "PAPER"), "A1");
}

TEST_F(Switches, HoldReleaseGoesToTheJobWhereverItStands) {
  apply({"/OPTS", "HOLDRELEASE=HOLD", "/ADD", doc("plan.plt"), "/OPTS", "holdrelease=None"});
  EXPECT_EQ(optionOf(*job.jobOpts, "HOLDRELEASE"), "None");
  EXPECT_FALSE(job.docDefaults->pjlOpt("HOLDRELEASE").isValid());
  ASSERT_EQ(job.documentCount(), 1);
  EXPECT_FALSE(job.docs().at(0)->opts->pjlOpt("HOLDRELEASE").isValid());
  clsJob first;
  modMain::ApplySwitches({"/OPTS", "HOLDRELEASE=HOLD"}, first);
  EXPECT_EQ(optionOf(*first.jobOpts, "HOLDRELEASE"), "HOLD");
  EXPECT_FALSE(first.docDefaults->pjlOpt("HOLDRELEASE").isValid());
}

// The options meant for a refused document belong to no other: not to the defaults
// every later document copies, nor to the document before it.
TEST_F(Switches, OptionsAfterARefusedDocumentAreDropped) {
  testing::internal::CaptureStderr();
  apply({"/ADD", doc("plan.plt"), "/ADD", doc("missing.plt"), "/OPTS", "PAPER=A0", "/ADD", "/dev/zero",
         "/OPTS", "MEDIA=Film", "/ADD", doc("photo.tif")});
  const QString messages = QString::fromStdString(testing::internal::GetCapturedStderr());
  EXPECT_TRUE(messages.contains("Could Not Read File: " + doc("missing.plt") + "\n"));
  EXPECT_TRUE(messages.contains("Could Not Read File: /dev/zero\n"));
  EXPECT_EQ(job.refusedDocuments(), 2);
  ASSERT_EQ(job.documentCount(), 2);
  EXPECT_EQ(job.docs().at(1)->fileName, doc("photo.tif"));
  EXPECT_EQ(job.docDefaults->count(), 0);
  EXPECT_EQ(job.docs().at(0)->opts->count(), 0);
  EXPECT_EQ(job.docs().at(1)->opts->count(), 0);
}

TEST_F(Switches, AddFollowedBySwitchAddsNothingAndSkipsNothing) {
  const auto flags = apply({"/ADD", "/PRINT"});
  EXPECT_EQ(job.documentCount(), 0);
  EXPECT_TRUE(flags.print);
}

TEST_F(Switches, PrinterSwallowsTheNextArgumentEvenASwitch) {
  const auto flags = apply({"/PRINTER", "/PRINT"});
  EXPECT_FALSE(flags.print);
  EXPECT_TRUE(job.printerName.isEmpty());
}

TEST_F(Switches, PrinterIsMatchedWithoutCaseAndTakesTheStoredName) {
  gSettings = std::make_unique<clsSettings>();
  gRegRoot = QStringLiteral("Software\\Test\\");
  clsPrinter first(QStringLiteral("Big Plotter"), QStringLiteral("127.0.0.1:9"));
  clsPrinter second(QStringLiteral("Small"), QStringLiteral("127.0.0.1:9"));
  ASSERT_TRUE(first.SaveToReg() && second.SaveToReg());
  ASSERT_TRUE(gSettings->printers.LoadFromReg());
  clsJob configured;
  EXPECT_EQ(configured.printerName, "Big Plotter");

  modMain::ApplySwitches({"/PRINTER", "sMALL"}, configured);
  EXPECT_EQ(configured.printerName, "Small");
  modMain::ApplySwitches({"/PRINTER", "Unknown"}, configured);
  EXPECT_EQ(configured.printerName, "Small");
}

TEST_F(Switches, LastOfTwoTicketPathsWinsAndAbsolutePathsAreTickets) {
  apply({"first.kvt", "/home/ann/plans.kvt"});
  EXPECT_EQ(job.kvtFile, "/home/ann/plans.kvt");
}

TEST_F(Switches, UnknownSwitchStopsWithTheUsageBox) {
  const auto flags = apply({"/PRINT", "/?", "/QUIT", "late.kvt"});
  EXPECT_TRUE(flags.usage);
  EXPECT_TRUE(flags.print);
  EXPECT_FALSE(flags.quit);
  EXPECT_TRUE(job.kvtFile.isEmpty());
}

TEST_F(Switches, LogSwitchValueIsSkippedAndSwitchesAtTheEndDoNothing) {
  const auto flags = apply({"--XSHOWLOG", "log.txt", "/OPTS"});
  EXPECT_TRUE(job.kvtFile.isEmpty());
  EXPECT_FALSE(flags.usage);
  EXPECT_EQ(job.docDefaults->count(), 0);
  EXPECT_FALSE(apply({"/PRINTER"}).usage);
}

TEST(LogSwitch, FileNameIsTrimmedAndASwitchAfterItMeansTheLogWindow) {
  gLogging = false;
  modMain::ReadLogSwitch({"/PRINT", "--xshowlog", " /tmp/kvt.log "});
  EXPECT_TRUE(gLogging);
  EXPECT_EQ(gLogFile, "/tmp/kvt.log");

  gLogging = false;
  gLogFile.clear();
  modMain::ReadLogSwitch({"--XSHOWLOG"});
  EXPECT_FALSE(gLogging);

  modMain::ReadLogSwitch({"--XSHOWLOG", "/PRINT"});
  EXPECT_TRUE(gLogging);
  EXPECT_TRUE(gLogFile.isEmpty());
}

TEST(UsageText, ListsEverySwitchWithItsTabsAndLineEnds) {
  const QString text = modMain::CommandLineHelpText();
  const QString crlf = "\r\n";
  const QString indent(10, QLatin1Char(' '));
  const QString expected =
      "test_ui [jobticket.kvt]  [/PRINTER printername]  [/OPTS option=value]  [/ADD docfile  [/OPTS "
      "option=value] ]  [/PRINT  [/QUIT] ]" +
      crlf + crlf + "   where:" + crlf + indent +
      "jobticket.kvt\t\tIs the path and filename of job ticket file to load." + crlf + indent +
      "/PRINTER printername\tSelects the destination printer name." + crlf + indent +
      "/OPTS option=value\tSpecifies a PJL option (eg. COPIES) and a value." + crlf +
      "\t\t\tMultiple occurances allowed. Document specific options must follow the /ADD docfile entry." +
      crlf + indent + "/ADD docfile\t\tAdds the file docfile to the job set." + crlf +
      "\t\t\tMultiple occurances allowed." + crlf + indent +
      "/PRINT\t\tCauses the job to be printed automatically." + crlf + indent +
      "/QUIT\t\tQuit after printing." + crlf;
  EXPECT_EQ(text, expected);
}

// The usage box lines its descriptions up in one column, each line whole, in every language.
TEST(UsageText, ItsBoxLinesTheDescriptionsUpInEveryLanguage) {
  for (const int language : {9, 1036, 1031, 1034, 1040, 1043}) {
    SetLanguage(language, QString());
    const auto box =
        columnsBox(modMain::CommandLineHelpText(), MsgBoxStyle::Information, GetResString(136), nullptr);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    int column = -1;
    for (int id = 128; id <= 135; ++id) {
      const QLabel* description = nullptr;
      for (const QLabel* label : box->findChildren<QLabel*>())
        if (label->text() == GetResString(id)) description = label;
      ASSERT_NE(description, nullptr) << language << " " << id;
      if (column < 0) column = description->x();
      EXPECT_EQ(description->x(), column) << language << " " << id;
      EXPECT_GE(description->width(), description->sizeHint().width()) << language << " " << id;
    }
  }
  SetLanguage(kLanguageEnglish, QString());
}
