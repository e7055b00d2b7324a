#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include "MessageBox.h"
#include "PJLTestSupport.h"
#include "PjlWire.h"
#include "PrinterEmulator.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsPrinter.h"
#include "frmProgress.h"
#include "modPJLOpts.h"

namespace {

using namespace PjlWire;

QString addressOf(const PrinterEmulator& emulator) {
  return QStringLiteral("127.0.0.1:") + QString::number(emulator.port());
}

// Presses the progress dialog's Cancel after `ms`, as a user would; `pressed`
// tells whether the dialog was there to press.
void pressCancelAfter(int ms, bool& pressed, const QObject* scope) {
  QTimer::singleShot(ms, scope, [&pressed] {
    if (frmProgress* dialog = frmProgress::instance()) {
      dialog->cmdCancel->click();
      pressed = true;
    }
  });
}

// A printer that takes no byte until it is told to read again.
struct StalledPrinter {
  StalledPrinter() { emulator.setReading(false); }
  // Everything it received, once it reads again and the job has closed the connection.
  QByteArray resumeAndReceive() {
    emulator.setReading(true);
    EXPECT_TRUE(PrinterEmulator::waitFor([&] { return emulator.closed(0); }));
    return emulator.received(0);
  }
  PrinterEmulator emulator{PrinterEmulator::Options{4096}};
  clsPrinter printer{QStringLiteral("Stalled"), addressOf(emulator)};
};

// What the progress dialog showed while a submission ran.
class DialogWatch {
 public:
  DialogWatch() {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (const frmProgress* dialog = frmProgress::instance()) {
        labels.insert(dialog->lblFilename->text());
        highest = qMax(highest, dialog->pbProgress->value());
        maximum = dialog->pbProgress->maximum();
      }
    });
    poll_.start(5);
  }
  QSet<QString> labels;
  int highest = 0;
  int maximum = 0;

 private:
  QTimer poll_;
};

class JobSubmission : public ::testing::Test {
 protected:
  void SetUp() override {
    modPJLOpts::setSupportFolder(PJLTest::shippedFolder());
    modPJLOpts::Initialise(true);
    folder = TestEnv::freshDir(QStringLiteral("docs"));
    printer = std::make_unique<clsPrinter>(QStringLiteral("Plotter"), addressOf(emulator));
    job.jobName = QStringLiteral("Drawings");
  }

  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = folder + "/" + name;
    TestEnv::writeFile(path, bytes);
    return path;
  }

  clsDocument* addFile(const QString& name, const QByteArray& bytes) {
    return job.addDoc(-1, writeFile(name, bytes));
  }

  // Everything the printer received on that connection, once the job has closed it.
  QByteArray wire(int connection = 0) {
    EXPECT_TRUE(PrinterEmulator::waitFor([&] { return emulator.closed(connection); }));
    return emulator.received(connection);
  }

  PrinterEmulator emulator;
  std::unique_ptr<clsPrinter> printer;
  clsJob job;
  QString folder;
};

TEST_F(JobSubmission, SendsEveryDocumentWithItsOptionsBetweenHeaderAndEndOfJob) {
  const QByteArray plot = printData(1500 * 1024, 1);
  const QByteArray raster = printData(4000, 2);
  const QByteArray tiny("PA0,0;");
  clsDocument* first = addFile("plan.plt", plot);
  first->opts->setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Bond"));
  first->opts->setPjlOpt(QStringLiteral("OUTPUTBIN"), QStringLiteral("TOP"));
  addFile("photo.tif", raster);
  addFile("note.hpg", tiny)->opts->setPjlOpt(QStringLiteral("CLIPPING"), QStringLiteral("OFF"));

  DialogWatch watch;
  EXPECT_TRUE(job.submit(printer.get()));

  // A part that opens with header lines after data of an earlier document starts with its own
  // exit-language line; a file shorter than an exit-language sequence arrives without header lines.
  const QByteArray expected =
      jobHeader("Drawings", {ownerLine()}) +
      documentPart({"@PJL SET MEDIANAME=\"Bond\"", "@PJL SET OUTPUTBIN=TOP"}, "plan", "plt", plot) +
      kExitLanguage + kExitLanguage + documentPart({}, "photo", "tif", raster) + kExitLanguage +
      documentPart({"@PJL SET CLIPPING=OFF"}, "note", "hpg", tiny) + kExitLanguage + kEOJ;
  EXPECT_TRUE(sameBytes(wire(), expected));
  EXPECT_EQ(emulator.connectionCount(), 1);

  EXPECT_TRUE(watch.labels.contains(QStringLiteral("Connecting to Plotter...")));
  EXPECT_TRUE(watch.labels.contains(QStringLiteral("plan.plt")));
  EXPECT_TRUE(watch.labels.contains(QStringLiteral("note.hpg")));
  EXPECT_EQ(watch.maximum, 1000);
  EXPECT_EQ(watch.highest, 1000);
  EXPECT_EQ(frmProgress::instance(), nullptr);
}

TEST_F(JobSubmission, DocCopiesSendsTheDocumentThatOftenEachCopyWithItsOptionLines) {
  const QByteArray data = printData(3000, 3);
  addFile("sheet.plt", data)->opts->setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("3"));
  job.docs().at(0)->opts->setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Film"));

  DialogWatch watch;
  EXPECT_TRUE(job.submit(printer.get()));

  const QByteArray copy = documentPart({"@PJL SET MEDIANAME=\"Film\""}, "sheet", "plt", data) + kExitLanguage;
  const QByteArray expected =
      jobHeader("Drawings", {ownerLine()}) + copy + kExitLanguage + copy + kExitLanguage + copy + kEOJ;
  const QByteArray received = wire();
  EXPECT_TRUE(sameBytes(received, expected));
  EXPECT_FALSE(received.contains("DOCCOPIES"));
  EXPECT_EQ(watch.highest, 1000);
}

// Part of a copy is sent as a whole one.
TEST_F(JobSubmission, DocCopiesRoundUpToWholeCopies) {
  const struct {
    const char* copies;
    qsizetype sent;
  } cases[] = {{"2.2", 3}, {"2", 2}, {"1.4", 2}, {"1", 1}};
  QList<QByteArray> data;
  for (const auto& row : cases) {
    data.append(printData(3000, int(data.size()) + 10));
    addFile(QStringLiteral("%1.plt").arg(row.copies), data.last())
        ->opts->setPjlOpt(QStringLiteral("DOCCOPIES"), QString::fromLatin1(row.copies));
  }
  ASSERT_TRUE(job.submit(printer.get()));
  const QByteArray received = wire();
  for (qsizetype i = 0; i < data.size(); ++i)
    EXPECT_EQ(received.count(data[i]), cases[i].sent) << cases[i].copies;
}

TEST_F(JobSubmission, EveryCopyOfAFileWithoutHeaderLinesCarriesItsOptionLines) {
  const QByteArray tiny("PA0,0;");
  clsDocument* doc = addFile("dot.hpg", tiny);
  doc->opts->setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Film"));
  doc->opts->setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("2"));

  EXPECT_TRUE(job.submit(printer.get()));
  EXPECT_TRUE(job.submit(printer.get()));

  const QByteArray copy = documentPart({"@PJL SET MEDIANAME=\"Film\""}, "dot", "hpg", tiny) + kExitLanguage;
  const QByteArray whole = jobHeader("Drawings", {ownerLine()}) + copy + copy + kEOJ;
  EXPECT_TRUE(sameBytes(wire(0), whole));
  EXPECT_TRUE(sameBytes(wire(1), whole));
}

TEST_F(JobSubmission, DocCopiesOfZeroNegativeOrNoneSendsTheDocumentOnce) {
  const QByteArray zero = printData(2000, 4);
  const QByteArray negative = printData(2100, 5);
  const QByteArray none = printData(2200, 6);
  addFile("zero.plt", zero)->opts->setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("0"));
  addFile("negative.plt", negative)->opts->setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("-2"));
  addFile("none.plt", none);

  DialogWatch watch;
  EXPECT_TRUE(job.submit(printer.get()));

  const QByteArray expected = jobHeader("Drawings", {ownerLine()}) + documentPart({}, "zero", "plt", zero) +
                              kExitLanguage + kExitLanguage + documentPart({}, "negative", "plt", negative) +
                              kExitLanguage + kExitLanguage + documentPart({}, "none", "plt", none) +
                              kExitLanguage + kEOJ;
  EXPECT_TRUE(sameBytes(wire(), expected));
  EXPECT_EQ(watch.highest, 1000);
}

TEST_F(JobSubmission, JobOptionsFollowTheJobNameAndQuotesNeverBreakALine) {
  job.jobName = QStringLiteral("Plan \"B\"\r\n@PJL EOJ");
  job.jobOpts->setPjlOpt(QStringLiteral("OWNER"), QStringLiteral("Ann \"Boss\" Lee"));
  job.jobOpts->setPjlOpt(QStringLiteral("ACCT_ACCTID"), QStringLiteral("4711"));
  job.jobOpts->setPjlOpt(QStringLiteral("PRIORITY"), QStringLiteral("5"));
  const QByteArray data = printData(500, 7);
  addFile("label.plt", data)
      ->opts->setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("say \"hi\"\r\nthere"));

  EXPECT_TRUE(job.submit(printer.get()));

  const QByteArray expected =
      jobHeader("Plan B@PJL EOJ",
                {"@PJL SET OWNER=\"Ann Boss Lee\"", "@PJL SET ACCT_ACCTID=4711", "@PJL SET PRIORITY=5"}) +
      documentPart({"@PJL SET LABELSTRING=\"say hithere\""}, "label", "plt", data) + kExitLanguage + kEOJ;
  EXPECT_TRUE(sameBytes(wire(), expected));
}

TEST_F(JobSubmission, AnEmptyJobSendsTheHeaderThenTheEndOfJob) {
  EXPECT_TRUE(job.submit(printer.get()));
  EXPECT_TRUE(sameBytes(wire(), jobHeader("Drawings", {ownerLine()}) + kEOJ));
}

TEST_F(JobSubmission, TheDocumentsOwnExitLanguageAndPjlLinesNeverReachTheWire) {
  const QByteArray first = printData(2000, 8);
  const QByteArray second = printData(1000, 9);
  const QByteArray framed = kUEL + "@PJL\r\n@PJL SET RESOLUTION=600\r\n@PJL ENTER LANGUAGE=HPGL2\r\n" +
                            first + kUEL + "@PJL SET PAPER=A0\r\n@PJL ENTER LANGUAGE=PCL\r\n" + second + kUEL;
  addFile("framed.prn", framed)->opts->setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Bond"));

  EXPECT_TRUE(job.submit(printer.get()));

  // Each part of the file gets the document's lines again.
  const QStringList options{"@PJL SET MEDIANAME=\"Bond\""};
  const QByteArray expected = jobHeader("Drawings", {ownerLine()}) +
                              documentPart(options, "framed", "prn", first) + kExitLanguage +
                              documentPart(options, "framed", "prn", second) + kExitLanguage + kEOJ;
  const QByteArray received = wire();
  EXPECT_TRUE(sameBytes(received, expected));
  EXPECT_FALSE(received.contains("RESOLUTION"));
  EXPECT_FALSE(received.contains("HPGL2"));
}

TEST_F(JobSubmission, AFileWithoutExtensionSendsAnEmptyExtension) {
  const QByteArray data = printData(700, 10);
  addFile("README", data);

  EXPECT_TRUE(job.submit(printer.get()));

  EXPECT_TRUE(sameBytes(wire(), jobHeader("Drawings", {ownerLine()}) + documentPart({}, "README", "", data) +
                                    kExitLanguage + kEOJ));
}

// A document that vanished or became something that cannot be read (a FIFO would
// block the program) since it was added is never sent as empty data.
TEST_F(JobSubmission, ADocumentThatIsNoLongerAFileFailsTheJobBeforeAnythingIsSent) {
  for (const bool fifo : {false, true}) {
    clsJob vanishing;
    const QString path = writeFile(QStringLiteral("gone.plt"), printData(900, 11));
    ASSERT_NE(vanishing.addDoc(-1, path), nullptr);
    vanishing.addDoc(-1, writeFile(QStringLiteral("here.plt"), printData(900, 12)));
    ASSERT_TRUE(QFile::remove(path));
    if (fifo) TestEnv::makeFifo(path);

    testing::internal::CaptureStderr();
    const bool result = vanishing.submit(printer.get());
    const QString messages = QString::fromStdString(testing::internal::GetCapturedStderr());

    EXPECT_FALSE(result) << fifo;
    EXPECT_EQ(messages.count(QStringLiteral("Could Not Read File: ")), 1);
    EXPECT_TRUE(messages.contains("Could Not Read File: " + path + "\n"));
    EXPECT_EQ(emulator.connectionCount(), 0);
    QFile::remove(path);
  }
}

TEST_F(JobSubmission, ADocumentThatVanishesBeforeItsTurnFailsTheJob) {
  const QByteArray first = printData(2000, 13);
  addFile("first.plt", first);
  const QString second = writeFile("second.plt", printData(2000, 14));
  job.addDoc(-1, second);
  // Once the first document is on its way, the second is gone.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const frmProgress* dialog = frmProgress::instance();
    if (dialog && dialog->lblFilename->text() == QStringLiteral("first.plt")) QFile::remove(second);
  });
  watch.start(1);

  EXPECT_FALSE(job.submit(printer.get()));

  // The failed document sends nothing but its closing line, and the job gets no end.
  EXPECT_TRUE(sameBytes(wire(), jobHeader("Drawings", {ownerLine()}) +
                                    documentPart({}, "first", "plt", first) + kExitLanguage + kExitLanguage));
}

TEST_F(JobSubmission, ARefusedConnectionFailsAndSendsNothing) {
  addFile("plan.plt", printData(100, 12));
  emulator.refuseConnections();

  EXPECT_FALSE(job.submit(printer.get()));
  EXPECT_EQ(emulator.connectionCount(), 0);
  EXPECT_EQ(frmProgress::instance(), nullptr);
}

TEST_F(JobSubmission, APrinterThatClosesMidJobMakesTheJobFail) {
  addFile("big.plt", printData(3 * 1024 * 1024, 13));
  addFile("next.plt", printData(1000, 14));
  emulator.closeAfter(64 * 1024);

  EXPECT_FALSE(job.submit(printer.get()));
  EXPECT_FALSE(wire().contains(kEOJ));
}

TEST_F(JobSubmission, APrinterThatClosesBeforeTheEndOfJobMakesTheJobFail) {
  const QByteArray data = printData(2000, 15);
  addFile("plan.plt", data);
  const qint64 beforeEnd =
      (jobHeader("Drawings", {ownerLine()}) + documentPart({}, "plan", "plt", data) + kExitLanguage).size();
  emulator.closeAfter(beforeEnd);

  EXPECT_FALSE(job.submit(printer.get()));
  EXPECT_FALSE(wire().contains(kEOJ));
}

// Where someone could press Cancel, the job waits for it however long the
// printer stalls; where no one can (no windows shown, or an unattended print:
// /PRINT /QUIT) the stall limit fails the job. Either way the connection is
// closed without the end of the job.
TEST_F(JobSubmission, AStalledPrinterEndsTheJobByCancelOrWhereNoOneCanCancelByTheStallLimit) {
  const struct {
    const char* what;
    bool dialogsShown;
    bool unattended;
    int stallLimit;  // 0: the product's
    int cancelAt;
    bool cancelled;
  } cases[] = {
      {"no windows, Cancel before the limit", false, false, 0, 1500, true},
      {"no windows", false, false, 300, 30000, false},
      {"unattended with windows", true, true, 300, 30000, false},
      {"watched", true, false, 100, 1500, true},
  };
  for (const auto& c : cases) {
    if (c.dialogsShown) setDialogAnswerer([](QDialog&) {});
    StalledPrinter stalled;
    clsJob stalling;
    stalling.jobName = QStringLiteral("Drawings");
    stalling.addDoc(-1, writeFile("big.plt", printData(8 * 1024 * 1024, 16)));
    if (c.stallLimit > 0) stalling.setStallLimit(c.stallLimit);
    // Where the limit should end the job, a late Cancel only turns a hang into a failure.
    bool pressed = false;
    QObject scope;
    pressCancelAfter(c.cancelAt, pressed, &scope);

    EXPECT_FALSE(stalling.submit(&stalled.printer, c.unattended)) << c.what;
    setDialogAnswerer(nullptr);
    EXPECT_EQ(pressed, c.cancelled) << c.what;

    const QByteArray received = stalled.resumeAndReceive();
    EXPECT_TRUE(received.startsWith(jobHeader("Drawings", {ownerLine()}))) << c.what;
    EXPECT_FALSE(received.contains(kEOJ)) << c.what;
  }
}

TEST_F(JobSubmission, APrinterThatPausesForLessThanTheStallLimitGetsTheWholeJob) {
  StalledPrinter pausing;
  const QByteArray data = printData(8 * 1024 * 1024, 19);
  addFile("big.plt", data);
  job.setStallLimit(5000);
  QTimer::singleShot(1000, [&] { pausing.emulator.setReading(true); });

  EXPECT_TRUE(job.submit(&pausing.printer));

  EXPECT_TRUE(sameBytes(
      pausing.resumeAndReceive(),
      jobHeader("Drawings", {ownerLine()}) + documentPart({}, "big", "plt", data) + kExitLanguage + kEOJ));
}

// Characters without a Windows-1252 byte used to go out as SUB (0x1A).
TEST_F(JobSubmission, CharactersWithoutAnAnsiByteGoOutAsQuestionMarks) {
  job.jobName = QString::fromUtf8("Plan\u2028A");
  job.jobOpts->setPjlOpt(QStringLiteral("OWNER"), QString::fromUtf8("Ann\u2029Lee"));
  const QByteArray data = printData(400, 21);
  clsDocument* doc = addFile("odd.plt", data);
  doc->opts->setPjlOpt(QStringLiteral("PAPER"), QString::fromUtf8("abc\u2028d\u2029ef"));
  doc->opts->setPjlOpt(QStringLiteral("LABELSTRING"), QString::fromUtf8("x\xef\xbf\xbdy\U0001F600z"));

  EXPECT_TRUE(job.submit(printer.get()));

  const QByteArray expected =
      jobHeader("Plan?A", {"@PJL SET OWNER=\"Ann?Lee\""}) +
      documentPart({"@PJL SET PAPER=abc?d?ef", "@PJL SET LABELSTRING=\"x?y?z\""}, "odd", "plt", data) +
      kExitLanguage + kEOJ;
  EXPECT_TRUE(sameBytes(wire(), expected));
}

TEST_F(JobSubmission, TheSameJobSubmittedTwiceSendsTheWholeJobEachTime) {
  const QByteArray data = printData(1200, 17);
  addFile("plan.plt", data)->opts->setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("2"));

  EXPECT_TRUE(job.submit(printer.get()));
  EXPECT_TRUE(job.submit(printer.get()));

  const QByteArray copy = documentPart({}, "plan", "plt", data) + kExitLanguage;
  const QByteArray header = jobHeader("Drawings", {ownerLine()});
  EXPECT_TRUE(sameBytes(wire(0), header + copy + kExitLanguage + copy + kEOJ));
  // The first submission ended with data, so the second opens its first part with an exit-language line.
  EXPECT_TRUE(sameBytes(wire(1), header + kExitLanguage + copy + kExitLanguage + copy + kEOJ));
}

}  // namespace
