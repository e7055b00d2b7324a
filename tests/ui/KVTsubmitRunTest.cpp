// The built KVTsubmit started as a process, headless, with the sandbox's
// registry folder holding printers that point at emulators on loopback.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>

#include "PjlWire.h"
#include "PrinterEmulator.h"
#include "RegObj.h"
#include "RegistryStore.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsPrinter.h"
#include "modLumasetCommon.h"
#include "modMain.h"

using namespace PjlWire;

namespace {

constexpr int kRunLimitMs = 60000;

struct RunResult {
  bool finished = false;
  int exitCode = -1;
  QString errors;
};

QString addressOf(const PrinterEmulator& emulator) {
  return QStringLiteral("127.0.0.1:") + QString::number(emulator.port());
}

class KVTsubmitRun : public ::testing::Test {
 protected:
  void SetUp() override {
    gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
    folder = TestEnv::freshDir(QStringLiteral("docs"));
  }

  void configurePrinter(const QString& name, const PrinterEmulator& emulator) {
    clsPrinter printer(name, addressOf(emulator));
    ASSERT_TRUE(printer.SaveToReg());
  }

  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = folder + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }

  // KVTsubmit beside the test programs' folder, run to its end in the sandbox:
  // on the offscreen platform, or with no display named and no platform chosen.
  enum class Platform { Offscreen, NoneNamed };
  RunResult run(const QStringList& arguments, Platform platform = Platform::Offscreen) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (platform == Platform::NoneNamed)
      for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(variable);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    if (standardDescriptorsClosed) TestEnv::closeStandardDescriptors(process);
    if (outputUnread) TestEnv::writeOutputIntoUnreadPipe(process);
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../KVTsubmit"), arguments);
    RunResult result;
    result.finished = process.waitForStarted() && process.waitForFinished(kRunLimitMs);
    if (!result.finished) process.kill();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
  }

  static QByteArray wire(PrinterEmulator& emulator) {
    EXPECT_TRUE(PrinterEmulator::waitFor([&] { return emulator.closed(0); }));
    return emulator.received(0);
  }

  PrinterEmulator emulator;
  QString folder;
  // The program starts with standard input, output and error closed.
  bool standardDescriptorsClosed = false;
  // The program writes its output and errors into a pipe whose reader is gone.
  bool outputUnread = false;
};

// What the main window adds to every job it shows: each job-level field takes
// its definition's default when the job has none, an empty default included.
QStringList windowJobLines(const QString& copies = "1") {
  return {ownerLine(),
          "@PJL SET COPIES=" + copies,
          "@PJL SET PRIORITY=5",
          "@PJL SET COLLATIONENABLE=OFF",
          "@PJL SET ACCT_ACCTID=",
          "@PJL SET ACCT_USERID="};
}

// The defaults every document-option control adds, in the order the window visits
// them: the definitions' defaults, and for the printer's own lists (finishing, fonts,
// sizes, sources) the first entry a printer without a status reply offers. Each test
// names the media itself; DOCCOPIES never goes out.
const QStringList kDocumentDefaults{"@PJL SET FINISHPROGID=\"Bypass\"", "@PJL SET LABELFONTOBJ=\"Courier\"",
                                    "@PJL SET JUSTIFYX=LEFT",           "@PJL SET JUSTIFYY=BOTTOM",
                                    "@PJL SET LABELROTATE=0",           "@PJL SET LABELSIZE=12",
                                    "@PJL SET LABELLOCX=RIGHT",         "@PJL SET LABELLOCY=BOTTOM",
                                    "@PJL SET PAGEROTATE=AUTO",         "@PJL SET PAGESCALING=AUTO",
                                    "@PJL SET LABELSHADING=100",        "@PJL SET PAPER=Any",
                                    "@PJL SET MEDIASOURCE=Auto",        "@PJL SET TITLEBLOCK=LOWERRIGHT",
                                    "@PJL SET LABELSTRING=\"\"",        "@PJL SET FININTTITLEBLOCK=OFF",
                                    "@PJL SET LINESCALEMODE=ON",        "@PJL SET MIRRORIMAGE=MIRROR_OFF"};

// The document's own lines first, then the defaults of the options it lacks.
QStringList windowDocumentLines(const QStringList& own) {
  QStringList lines = own;
  for (const QString& line : kDocumentDefaults) {
    const QString name = line.section('=', 0, 0) + "=";
    if (std::none_of(own.begin(), own.end(), [&](const QString& mine) { return mine.startsWith(name); }))
      lines << line;
  }
  return lines;
}

}  // namespace

TEST_F(KVTsubmitRun, TicketPrintQuitSendsWhatTheMainWindowSendsAndExitsZero) {
  configurePrinter("Plotter", emulator);
  const QByteArray data = printData(20000, 1);
  const QString document = writeFile("plan.plt", data);
  writeFile("job.kvt",
            "[JOBSETUP]\r\nNAME=Plans\r\nPRINTER=plotter\r\nCOPIES=2\r\n\r\n[DOCUMENT001]\r\nDOCUMENTNAME=" +
                document.toUtf8() + "\r\n\r\n[SETUP001]\r\nMEDIATYPE=Bond\r\n");

  const RunResult result = run({folder + "/job.kvt", "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSuccess) << result.errors.toStdString();

  // The ticket reader sets the mirror option of every document it reads.
  const QStringList documentLines =
      windowDocumentLines({"@PJL SET MIRRORIMAGE=MIRROR_OFF", "@PJL SET MEDIANAME=\"Bond\""});
  const QByteArray expected = jobHeader("Plans", windowJobLines("2")) +
                              documentPart(documentLines, "plan", "plt", data) + kExitLanguage + kEOJ;
  EXPECT_TRUE(sameBytes(wire(emulator), expected));
}

TEST_F(KVTsubmitRun, AddWithAnAbsolutePathAndItsOptionsIsPrinted) {
  configurePrinter("Plotter", emulator);
  const QByteArray data = printData(3000, 2);
  const QString document = writeFile("sheet.plt", data);

  const RunResult result =
      run({"/OPTS", "COPIES=2", "/ADD", document, "/OPTS", "MEDIANAME=Film", "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSuccess) << result.errors.toStdString();

  const QByteArray expected =
      jobHeader("sheet.plt", windowJobLines("2")) +
      documentPart(windowDocumentLines({"@PJL SET MEDIANAME=\"Film\""}), "sheet", "plt", data) +
      kExitLanguage + kEOJ;
  EXPECT_TRUE(sameBytes(wire(emulator), expected));
}

TEST_F(KVTsubmitRun, PrinterNamedInAnotherCaseGetsTheJob) {
  PrinterEmulator second;
  configurePrinter("Alpha", emulator);
  configurePrinter("Beta Plotter", second);
  const QString document = writeFile("a.plt", printData(500, 3));

  const RunResult result = run({"/printer", "bETA plotter", "/ADD", document, "/P", "/Q"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSuccess) << result.errors.toStdString();
  EXPECT_TRUE(wire(second).endsWith(kEOJ));
  EXPECT_EQ(emulator.connectionCount(), 0);
}

TEST_F(KVTsubmitRun, RefusedConnectionShowsTheFailureAndExitsNonZero) {
  configurePrinter("Plotter", emulator);
  emulator.refuseConnections();
  const QString document = writeFile("a.plt", printData(500, 4));

  const RunResult result = run({"/ADD", document, "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitPrintFailed);
  EXPECT_TRUE(result.errors.contains("Printing Failed: The print job could not be completed\n"))
      << result.errors.toStdString();
}

TEST_F(KVTsubmitRun, PrinterThatClosesMidJobExitsNonZero) {
  configurePrinter("Plotter", emulator);
  emulator.closeAfter(1000);
  const QString document = writeFile("a.plt", printData(4 * 1024 * 1024, 5));

  const RunResult result = run({"/ADD", document, "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitPrintFailed) << result.errors.toStdString();
}

// A script must be able to tell that a document it named did not go out; opening
// a FIFO used to freeze the program before any window showed.
TEST_F(KVTsubmitRun, ADocumentThatCannotBeAddedIsLeftOutAndTheRunExitsFour) {
  const QString fifo = folder + "/plot.fifo";
  TestEnv::makeFifo(fifo);
  for (const QString& refused : {folder + "/missing.plt", fifo}) {
    PrinterEmulator printer;
    configurePrinter("Plotter", printer);
    const QByteArray data = printData(1500, 6);
    const QString document = writeFile("plan.plt", data);
    writeFile("job.kvt",
              "[JOBSETUP]\r\nNAME=Plans\r\n[DOCUMENT001]\r\nDOCUMENTNAME=" + document.toUtf8() + "\r\n");

    const RunResult result = run({folder + "/job.kvt", "/ADD", refused, "/PRINT", "/QUIT"});
    ASSERT_TRUE(result.finished) << refused.toStdString();
    EXPECT_EQ(result.exitCode, modMain::ExitDocumentRefused) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.contains("Could Not Read File: " + refused + "\n"))
        << result.errors.toStdString();
    const QByteArray received = wire(printer);
    EXPECT_TRUE(received.contains(line("@PJL SET SOURCEFILENAME=\"plan\"")));
    EXPECT_TRUE(received.contains(kEnterLanguage + data + kExitLanguage + kEOJ));
    EXPECT_EQ(received.count(kEnterLanguage), 1);
  }
}

TEST_F(KVTsubmitRun, QuitWithoutPrintAlsoTellsOfARefusedDocument) {
  configurePrinter("Plotter", emulator);
  const RunResult result = run({"/ADD", "/dev/zero", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitDocumentRefused) << result.errors.toStdString();
  EXPECT_EQ(emulator.connectionCount(), 0);
}

// A ticket may name a file that is away for now; if it still is when the job is
// sent, the job fails rather than going out without it.
TEST_F(KVTsubmitRun, ATicketDocumentMissingWhenSentFailsThePrint) {
  configurePrinter("Plotter", emulator);
  const QString missing = folder + "/away.plt";
  writeFile("job.kvt", "[DOCUMENT001]\r\nDOCUMENTNAME=" + missing.toUtf8() + "\r\n");

  const RunResult result = run({folder + "/job.kvt", "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitPrintFailed) << result.errors.toStdString();
  EXPECT_TRUE(result.errors.contains("Could Not Read File: " + missing + "\n"));
  EXPECT_TRUE(result.errors.contains("Printing Failed: The print job could not be completed\n"));
  EXPECT_EQ(emulator.connectionCount(), 0);
}

// An empty job in place of the ticket would go out as if it were the job asked for.
TEST_F(KVTsubmitRun, ATicketThatCannotBeLoadedIsToldAndNothingIsPrinted) {
  configurePrinter("Plotter", emulator);
  const RunResult result = run({folder + "/missing.kvt", "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitPrintFailed);
  EXPECT_TRUE(result.errors.contains("Open Failed: Could not load job ticket."))
      << result.errors.toStdString();
  EXPECT_FALSE(result.errors.contains("Printing Failed"));
  EXPECT_EQ(emulator.connectionCount(), 0);
}

TEST_F(KVTsubmitRun, QuitAloneEndsAtOnceWithoutPrinting) {
  configurePrinter("Plotter", emulator);
  const RunResult result = run({"/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSuccess) << result.errors.toStdString();
  EXPECT_EQ(emulator.connectionCount(), 0);
}

// Headless, nobody can answer the settings dialog: the run says why it ends,
// whatever the switches (they are read only once the settings stand).
TEST_F(KVTsubmitRun, NoPrinterConfiguredEndsWithStatusTwoAndSaysHowToAddOne) {
  const QString file = RegistryStore(HKEY_CURRENT_USER).filePath();
  for (const QStringList& arguments :
       {QStringList{"/ADD", "plan.plt", "/PRINT", "/QUIT"}, QStringList{"--help"}, QStringList{"/FOO"}}) {
    const RunResult result = run(arguments);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, modMain::ExitSettingsCancelled) << arguments.join(' ').toStdString();
    EXPECT_TRUE(
        result.errors.contains("No printer is configured, and the settings dialog cannot be shown without a "
                               "display. Start the program on a desktop to add a printer, or name one with "
                               "its address in the settings file " +
                               file + ", as the README's section \"Settings\" shows."))
        << result.errors.toStdString();
  }
}

// Some launchers and service managers start programs with standard input, output
// and error closed: the settings the program opens must not take their place.
TEST_F(KVTsubmitRun, StartedWithTheStandardDescriptorsClosedTheRunPrints) {
  configurePrinter("Plotter", emulator);
  const QString document = writeFile("plan.plt", "IN;");
  writeFile("plans.kvt", "[DOCUMENT001]\r\nDOCUMENTNAME=" + document.toUtf8() + "\r\n");
  const QString settings = RegistryStore(HKEY_CURRENT_USER).filePath();
  standardDescriptorsClosed = true;
  const RunResult printed = run({"plans.kvt", "/PRINT", "/QUIT"});
  ASSERT_TRUE(printed.finished);
  EXPECT_EQ(printed.exitCode, modMain::ExitSuccess);
  EXPECT_TRUE(wire(emulator).endsWith("IN;" + kExitLanguage + kEOJ));
  EXPECT_TRUE(TestEnv::readFile(settings).startsWith("REGEDIT4"));
}

// As under `KVTsubmit ... 2>&1 | head -1` once head has left: Qt's warnings come
// before the program's own words, and neither may end the run before its status.
TEST_F(KVTsubmitRun, WithItsOutputUnreadTheRunEndsWithItsOwnStatus) {
  outputUnread = true;
  const RunResult unconfigured = run({"/QUIT"});
  ASSERT_TRUE(unconfigured.finished);
  EXPECT_EQ(unconfigured.exitCode, modMain::ExitSettingsCancelled);

  configurePrinter("Plotter", emulator);
  const RunResult refused = run({"/ADD", folder + "/missing.plt", "/QUIT"});
  ASSERT_TRUE(refused.finished);
  EXPECT_EQ(refused.exitCode, modMain::ExitDocumentRefused);
  const RunResult printed = run({"/ADD", writeFile("plan.plt", "IN;"), "/PRINT", "/QUIT"});
  ASSERT_TRUE(printed.finished);
  EXPECT_EQ(printed.exitCode, modMain::ExitSuccess);
  EXPECT_TRUE(wire(emulator).endsWith("IN;" + kExitLanguage + kEOJ));
}

// A server reached over SSH, a container, a cron job: without a display the
// program runs headless, as the README tells scripts.
TEST_F(KVTsubmitRun, WithoutADisplayTheRunIsHeadless) {
  const RunResult unconfigured = run({}, Platform::NoneNamed);
  ASSERT_TRUE(unconfigured.finished);
  EXPECT_EQ(unconfigured.exitCode, modMain::ExitSettingsCancelled) << unconfigured.errors.toStdString();
  EXPECT_TRUE(
      unconfigured.errors.contains("No printer is configured, and the settings dialog cannot be shown"));

  configurePrinter("Plotter", emulator);
  const QString document = writeFile("plan.plt", "IN;");
  writeFile("plans.kvt", "[DOCUMENT001]\r\nDOCUMENTNAME=" + document.toUtf8() + "\r\n");
  const RunResult printed = run({"plans.kvt", "/PRINT", "/QUIT"}, Platform::NoneNamed);
  ASSERT_TRUE(printed.finished);
  EXPECT_EQ(printed.exitCode, modMain::ExitSuccess) << printed.errors.toStdString();
  EXPECT_TRUE(wire(emulator).endsWith("IN;" + kExitLanguage + kEOJ));
}

TEST_F(KVTsubmitRun, UnreadablePrinterSettingsEndWithStatusTwoAndSaySo) {
  TestEnv::writeFile(RegistryStore(HKEY_CURRENT_USER).filePath(),
                     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + gRegRoot.toLatin1() +
                         "Printers\\Plotter\\Fonts]\r\n\"1\"=\"Courier\"\r\n\"2\"=\"COURIER\"\r\n");
  const RunResult result = run({"/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSettingsCancelled);
  EXPECT_TRUE(result.errors.contains("The printer settings in " +
                                     RegistryStore(HKEY_CURRENT_USER).filePath() + " could not be read"))
      << result.errors.toStdString();
}

// The least a settings file needs for a printer, as the README gives it.
TEST_F(KVTsubmitRun, APrinterWrittenIntoTheSettingsFileByHandIsUsed) {
  TestEnv::writeFile(RegistryStore(HKEY_CURRENT_USER).filePath(),
                     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Pelva\\Skyplain Vondir\\Vondir "
                     "Submit\\Printers\\Plotter]\n\"address\"=\"" +
                         addressOf(emulator).toLatin1() + "\"\n");
  const RunResult result = run({"/ADD", writeFile("plan.plt", "IN;"), "/PRINT", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSuccess) << result.errors.toStdString();
  EXPECT_TRUE(wire(emulator).contains("IN;"));
}

TEST_F(KVTsubmitRun, QuestionMarkShowsTheUsageOnStandardErrorAndExitsNonZero) {
  configurePrinter("Plotter", emulator);
  const RunResult result = run({"/?", "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitUsage);
  EXPECT_TRUE(result.errors.contains(
      "Command Line Options: KVTsubmit [jobticket.kvt]  [/PRINTER printername]  [/OPTS option=value]"))
      << result.errors.toStdString();
  EXPECT_TRUE(result.errors.contains("          /QUIT\t\tQuit after printing.\r\n"));
}

TEST_F(KVTsubmitRun, LogSwitchWritesTheThreeStartUpLines) {
  configurePrinter("Plotter", emulator);
  const QString log = folder + "/start.log";
  const RunResult result = run({"--XSHOWLOG", log, "/QUIT"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, modMain::ExitSuccess);

  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  ASSERT_GE(lines.size(), 3);
  const char* expected[] = {"modMain-Main: Calling commonInit...\r", "modMain-Main: Calling modPJL.Init...\r",
                            "modMain-Main: Calling modthread.nit\r"};
  // "dd:MM:yy HH:mm:ss: " before each message.
  const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d \\d\\d:\\d\\d:\\d\\d: ");
  for (int i = 0; i < 3; ++i) {
    const QString text = QString::fromLatin1(lines.at(i));
    EXPECT_TRUE(stamp.match(text).hasMatch()) << text.toStdString();
    EXPECT_EQ(text.mid(19), expected[i]);
  }
}

TEST_F(KVTsubmitRun, StoredLanguageLoadsTheDefinitionsOfThatLanguage) {
  configurePrinter("Plotter", emulator);
  RegObj reg;
  reg.setRoot(HKEY_LOCAL_MACHINE);
  reg.setKey(gRegRoot + QStringLiteral("Language"));
  ASSERT_TRUE(reg.setValue(QStringLiteral("LangId"), 1036));
  ASSERT_TRUE(reg.setValue(QStringLiteral("ShowDialog"), false));
  const QString log = folder + "/start.log";
  ASSERT_TRUE(run({"--XSHOWLOG", log, "/QUIT"}).finished);

  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QString opened;
  for (const QByteArray& line : file.readAll().split('\n'))
    if (line.contains("Opening PJL file")) opened = QString::fromLatin1(line);
  EXPECT_TRUE(opened.contains(QStringLiteral("pjl-1036.xml"))) << opened.toStdString();
}
