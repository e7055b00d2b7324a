#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <csignal>

#include "PJLTestSupport.h"
#include "TestEnv.h"
#include "clsJob.h"
#include "clsSettings.h"
#include "modLumasetCommon.h"
#include "modPJLOpts.h"

namespace {

const QStringList kTemporaryKeys = {"MIRRORX",   "MIRRORY",        "JUSTUNITS",       "JUSTDISTX",
                                    "JUSTDISTY", "PAGEROTATETYPE", "PAGESCALINGTYPE", "LABELUNITS",
                                    "LABELABSX", "LABELABSY"};

using TestEnv::readFile;
using TestEnv::writeFile;

// The date line differs from one save to the next.
QByteArray afterFirstLine(const QByteArray& ticket) { return ticket.mid(ticket.indexOf("\r\n") + 2); }

QStringList lines(const QByteArray& ticket) {
  return QString::fromLatin1(ticket).split(QStringLiteral("\r\n"));
}

QStringList sectionLines(const QByteArray& ticket) {
  return lines(ticket).filter(QRegularExpression(QStringLiteral("^\\[")));
}

// As std::string, so that a failure prints the text.
std::string opt(clsPJLOptionSet& set, const QString& name) {
  return set.pjlOpt(name).toString().toStdString();
}

clsPJLOptionSet& docOpts(const clsJob& job, qsizetype position) { return *job.docs().at(position)->opts; }

// Sections naming the documents numbered 1 to `count`, and nothing else.
QByteArray fileSections(qsizetype count) {
  QByteArray text;
  for (qsizetype i = 1; i <= count; ++i)
    text += "[FILE" + QByteArray::number(i).rightJustified(3, '0') + "]\n";
  return text;
}

class Tickets : public ::testing::Test {
 protected:
  void SetUp() override {
    gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
    modPJLOpts::setSupportFolder(TestEnv::supportDir());
    modPJLOpts::Initialise(true);
    folder = TestEnv::freshDir(QStringLiteral("tickets"));
  }
  void TearDown() override {
    gSettings.reset();
    QLocale::setDefault(QLocale::c());
  }

  // A configured printer with two media, as the registry holds it after a query.
  void configurePrinter() {
    clsPrinter printer(QStringLiteral("Big Plotter"), QStringLiteral("127.0.0.1:9"));
    printer.finisherModel = QStringLiteral("FoldMaster 200");
    for (const QString& name : {QStringLiteral("Plain Paper"), QStringLiteral("Film")}) {
      clsMedia media;
      media.name = name;
      printer.mediaTypes.insert(QStringLiteral("x") + name.toUpper(), media);
    }
    printer.SaveToReg();
    gSettings = std::make_unique<clsSettings>();
    gSettings->printers.LoadFromReg();
    ASSERT_NE(gSettings->printers.printer(QStringLiteral("Big Plotter")), nullptr);
  }

  QString path(const QString& name) const { return folder + QLatin1Char('/') + name; }

  // A document named as a ticket may name it: only a file that exists can be
  // added, but the ticket writes the name alone.
  clsDocument* addNamed(clsJob& job, const QString& name) {
    const QString file = TestEnv::sandbox() + QStringLiteral("/ticket-document.plt");
    if (!QFile::exists(file)) writeFile(file, "PA0,0;");
    clsDocument* doc = job.addDoc(-1, file);
    if (doc) doc->fileName = name;
    return doc;
  }

  // The job saved as "job.kvt" and loaded into a new job; null when either fails.
  std::unique_ptr<clsJob> saveAndReload(clsJob& job) {
    job.kvtFile = path(QStringLiteral("job.kvt"));
    if (!job.saveToKVT()) return nullptr;
    auto loaded = std::make_unique<clsJob>();
    loaded->kvtFile = job.kvtFile;
    return loaded->loadFromKVT() ? std::move(loaded) : nullptr;
  }

  std::unique_ptr<clsJob> loadTicket(const QByteArray& text) {
    const QString file = path(QStringLiteral("in.kvt"));
    writeFile(file, text);
    auto job = std::make_unique<clsJob>();
    job->kvtFile = file;
    EXPECT_TRUE(job->loadFromKVT());
    return job;
  }

  std::unique_ptr<clsJob> loadFixture(const QString& name) {
    auto job = std::make_unique<clsJob>();
    job->kvtFile = TestEnv::dataPath(QStringLiteral("tickets/") + name);
    EXPECT_TRUE(job->loadFromKVT());
    return job;
  }

  // A job that uses every option the ticket carries.
  std::unique_ptr<clsJob> richJob() {
    auto job = std::make_unique<clsJob>();
    job->printerName = QStringLiteral("Big Plotter");
    job->jobName = QStringLiteral("Site plans");
    clsPJLOptionSet& j = *job->jobOpts;
    j.setPjlOpt(QStringLiteral("ACCT_ACCTID"), QStringLiteral("ACC-7"));
    j.setPjlOpt(QStringLiteral("ACCT_USERID"), QStringLiteral("jsmith"));
    j.setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("3"));
    j.setPjlOpt(QStringLiteral("PRIORITY"), QStringLiteral("2"));
    j.setPjlOpt(QStringLiteral("HOLDRELEASE"), QStringLiteral("HOLD"));
    j.setPjlOpt(QStringLiteral("COLLATIONENABLE"), QStringLiteral("ON"));
    clsPJLOptionSet& d = *job->docDefaults;
    d.setPjlOpt(QStringLiteral("PAPER"), QStringLiteral("ISO_A1"));
    d.setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("Approved"));
    d.setPjlOpt(QStringLiteral("TITLEBLOCK"), QStringLiteral("UPPERLEFT"));
    clsDocument* first = addNamed(*job, QStringLiteral("/plans/ground floor.plt"));
    clsPJLOptionSet& o = *first->opts;
    o.setPjlOpt(QStringLiteral("DOCCOPIES"), QStringLiteral("3"));
    o.setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Glossy Paper"));
    o.setPjlOpt(QStringLiteral("PAPER"), QStringLiteral("ISO_A0"));
    o.setPjlOpt(QStringLiteral("MEDIASOURCE"), QStringLiteral("ROLL2"));
    o.setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("50"));
    o.setPjlOpt(QStringLiteral("PAGEROTATE"), QStringLiteral("90"));
    o.setPjlOpt(QStringLiteral("JUSTIFYX"), QStringLiteral("2.54"));
    o.setPjlOpt(QStringLiteral("JUSTIFYY"), QStringLiteral("CENTER"));
    o.setPjlOpt(QStringLiteral("MIRRORIMAGE"), QStringLiteral("MIRROR_X"));
    o.setPjlOpt(QStringLiteral("LINESCALEMODE"), QStringLiteral("OFF"));
    o.setPjlOpt(QStringLiteral("LABELSTRING"), QStringLiteral("Draft"));
    o.setPjlOpt(QStringLiteral("LABELLOCX"), QStringLiteral("1.5"));
    o.setPjlOpt(QStringLiteral("LABELLOCY"), QStringLiteral("TOP"));
    o.setPjlOpt(QStringLiteral("LABELFONT"), QStringLiteral("Helvetica"));
    o.setPjlOpt(QStringLiteral("LABELSHADING"), QStringLiteral("50"));
    o.setPjlOpt(QStringLiteral("LABELROTATE"), QStringLiteral("90"));
    o.setPjlOpt(QStringLiteral("LABELSIZE"), QStringLiteral("14"));
    o.setPjlOpt(QStringLiteral("FINISHPROGID"), QStringLiteral("Fold A4"));
    o.setPjlOpt(QStringLiteral("FININTTITLEBLOCK"), QStringLiteral("ON"));
    o.setPjlOpt(QStringLiteral("TITLEBLOCK"), QStringLiteral("LOWERLEFT"));
    clsDocument* second = addNamed(*job, QStringLiteral("/plans/roof.plt"));
    second->opts->setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("AUTO"));
    second->opts->setPjlOpt(QStringLiteral("PAGEROTATE"), QStringLiteral("AUTO"));
    second->opts->setPjlOpt(QStringLiteral("MIRRORIMAGE"), QStringLiteral("MIRROR_XY"));
    second->opts->setPjlOpt(QStringLiteral("JUSTIFYY"), QStringLiteral("-0.5"));
    return job;
  }

  QString folder;
};

// ---- Saving ----

TEST_F(Tickets, SavedJobMatchesTheFormatLineForLine) {
  configurePrinter();
  auto job = std::make_unique<clsJob>();
  job->printerName = QStringLiteral("Big Plotter");
  job->jobName = QStringLiteral("Site plans");
  job->jobOpts->setPjlOpt(QStringLiteral("COPIES"), QStringLiteral("2"));
  job->docDefaults->setPjlOpt(QStringLiteral("LABELLOCX"), QStringLiteral("1.25"));
  clsDocument* doc = addNamed(*job, QStringLiteral("/plans/ground floor.plt"));
  doc->opts->setPjlOpt(QStringLiteral("MEDIANAME"), QStringLiteral("Glossy Paper"));
  doc->opts->setPjlOpt(QStringLiteral("PAGESCALING"), QStringLiteral("50"));
  doc->opts->setPjlOpt(QStringLiteral("MIRRORIMAGE"), QStringLiteral("MIRROR_Y"));
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QByteArray saved = readFile(job->kvtFile);
  EXPECT_TRUE(QString::fromLatin1(saved).contains(QRegularExpression(
      QStringLiteral("^#  File saved by Dravmit on \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"))));
  EXPECT_EQ(afterFirstLine(saved),
            afterFirstLine(readFile(TestEnv::dataPath(QStringLiteral("tickets/saved.kvt")))));
}

TEST_F(Tickets, TwoDocumentsSaveTheirSectionsInOrder) {
  configurePrinter();
  auto job = richJob();
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  QStringList expected = {"[DOCSET]",    "[PRINTER_ID]", "[JOBSETUP]",        "[JOBCOMP]",   "[JOBFINISHING]",
                          "[LABEL]",     "[STAMP]",      "[RENDER]",          "[JOB_COLOR]", "[COLOR_000]",
                          "[COLOR_001]", "[COLOR_002]",  "[DOCUMENTDEFAULTS]"};
  for (const QString nnn : {"000", "001", "002"}) {
    if (nnn != "000") expected << "[DOCUMENT" + nnn + "]";
    for (const QString base :
         {"SETUP", "PAGECOMP", "LABEL", "STAMP", "RENDER", "JOBFINISHING", "HPGL", "CALCOMP"})
      expected << "[" + base + nnn + "]";
  }
  EXPECT_EQ(sectionLines(readFile(job->kvtFile)), expected);
}

TEST_F(Tickets, EverySectionEndsWithAnEmptyLine) {
  configurePrinter();
  auto job = richJob();
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QByteArray saved = readFile(job->kvtFile);
  EXPECT_TRUE(afterFirstLine(saved).startsWith("\r\n\r\n[DOCSET]\r\n"));
  EXPECT_TRUE(saved.endsWith("\r\n\r\n"));
  EXPECT_FALSE(afterFirstLine(saved).mid(4).contains("\r\n\r\n\r\n"));
  const QStringList all = lines(saved);
  EXPECT_EQ(all.value(1), "");
  EXPECT_EQ(all.value(2), "");
  for (qsizetype i = 4; i < all.size(); ++i)
    if (all[i].startsWith('[')) {
      EXPECT_EQ(all[i - 1], "") << all[i].toStdString();
    }
}

TEST_F(Tickets, WithoutAConfiguredPrinterTheLinesNamingItAreLeftOut) {
  auto job = richJob();
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QStringList saved = lines(readFile(job->kvtFile));
  EXPECT_TRUE(saved.filter(QRegularExpression(QStringLiteral("^(FOLDER|ITEM_COUNT)="))).isEmpty());
  EXPECT_TRUE(saved.filter(QStringLiteral("[COLOR_")).isEmpty());
  EXPECT_TRUE(saved.contains(QStringLiteral("FOLDING=Fold A4")));
}

TEST_F(Tickets, NumbersAreWrittenWithAPointWhateverTheLocale) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  auto job = std::make_unique<clsJob>();
  job->docDefaults->setPjlOpt(QStringLiteral("JUSTIFYX"), QStringLiteral("2.54"));
  job->docDefaults->setPjlOpt(QStringLiteral("JUSTIFYY"), QStringLiteral("1234567"));
  job->docDefaults->setPjlOpt(QStringLiteral("LABELLOCX"), QStringLiteral("0.50"));
  job->docDefaults->setPjlOpt(QStringLiteral("PAGEROTATE"), QStringLiteral("1e2"));
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QStringList saved = lines(readFile(job->kvtFile));
  EXPECT_TRUE(saved.contains(QStringLiteral("JUSTDISTX=2.54")));
  EXPECT_TRUE(saved.contains(QStringLiteral("JUSTDISTY=1234567")));
  EXPECT_TRUE(saved.contains(QStringLiteral("LABELABSX=0.5")));
  EXPECT_TRUE(saved.contains(QStringLiteral("ROTATION=100")));

  auto loaded = loadTicket("[SETUP000]\r\nJUSTUNITS=MM\r\nJUSTTYPEX=ABSOLUTE\r\nJUSTDISTX=63.5\r\n");
  EXPECT_EQ(opt(*loaded->docDefaults, "JUSTIFYX"), "2.5");
}

TEST_F(Tickets, ValuesCannotBreakALine) {
  auto job = std::make_unique<clsJob>();
  job->jobName = QStringLiteral("Line one\r\n[DOCSET]\nDOCUMENTCOUNT=9");
  addNamed(*job, QStringLiteral("/plans/a\nb.plt"));
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QStringList saved = lines(readFile(job->kvtFile));
  EXPECT_TRUE(saved.contains(QStringLiteral("NAME=Line one[DOCSET]DOCUMENTCOUNT=9")));
  EXPECT_TRUE(saved.contains(QStringLiteral("DOCUMENTNAME=/plans/ab.plt")));
  EXPECT_EQ(saved.filter(QStringLiteral("[DOCSET]")).size(), 2);

  clsJob loaded;
  loaded.kvtFile = job->kvtFile;
  ASSERT_TRUE(loaded.loadFromKVT());
  EXPECT_EQ(loaded.jobName, "Line one[DOCSET]DOCUMENTCOUNT=9");
  ASSERT_EQ(loaded.documentCount(), 1);
  EXPECT_EQ(loaded.docs().at(0)->fileName, "/plans/ab.plt");
}

TEST_F(Tickets, TextIsWrittenAsWindows1252) {
  auto job = std::make_unique<clsJob>();
  job->jobName = QStringLiteral("Plan \u00e9t\u00e9 \u20ac");
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  EXPECT_TRUE(readFile(job->kvtFile).contains("NAME=Plan \xe9t\xe9 \x80\r\n"));
  clsJob loaded;
  loaded.kvtFile = job->kvtFile;
  ASSERT_TRUE(loaded.loadFromKVT());
  EXPECT_EQ(loaded.jobName, job->jobName);
}

// ---- Failures ----

TEST_F(Tickets, AnEmptyPathSavesAndLoadsNothing) {
  clsJob job;
  EXPECT_FALSE(job.saveToKVT());
  EXPECT_FALSE(job.loadFromKVT());
  EXPECT_EQ(job.documentCount(), 0);
}

TEST_F(Tickets, AMissingTicketOrAFolderDoesNotLoad) {
  clsJob job;
  job.kvtFile = path(QStringLiteral("missing.kvt"));
  EXPECT_FALSE(job.loadFromKVT());
  job.kvtFile = folder;
  EXPECT_FALSE(job.loadFromKVT());
  EXPECT_EQ(job.documentCount(), 0);
  EXPECT_TRUE(job.jobName.isEmpty());
  EXPECT_EQ(job.jobOpts->optionNames(), QStringList{"OWNER"});
  EXPECT_EQ(job.docDefaults->count(), 0);
}

TEST_F(Tickets, AnUnwritableTargetFailsAndLeavesTheOldTicket) {
  auto job = richJob();
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QByteArray before = readFile(job->kvtFile);
  const QString old = job->kvtFile;
  // A folder path that names a file.
  job->kvtFile = old + QStringLiteral("/inside.kvt");
  job->jobName = QStringLiteral("Changed");
  EXPECT_FALSE(job->saveToKVT());
  EXPECT_EQ(readFile(old), before);
}

TEST_F(Tickets, AWriteThatFailsHalfwayLeavesTheOldTicket) {
  auto job = richJob();
  job->kvtFile = path(QStringLiteral("job.kvt"));
  ASSERT_TRUE(job->saveToKVT());
  const QByteArray before = readFile(job->kvtFile);
  job->jobName = QStringLiteral("Changed");

  // The file size limit makes the write fail part of the way through.
  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = original;
  small.rlim_cur = 512;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = job->saveToKVT();
  setrlimit(RLIMIT_FSIZE, &original);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(saved);
  EXPECT_EQ(readFile(job->kvtFile), before);
  EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"job.kvt"});
}

// A save killed after writing most of its temporary file leaves that file beside the ticket.
TEST_F(Tickets, ASaveRemovesWhatAKilledSaveOfTheSameTicketLeftBehind) {
  const QStringList leftovers{"job.kvt.saving-00c0ffee00c0ffee", "other.kvt.saving-00c0ffee00c0ffee"};
  for (const QString& name : leftovers) writeFile(path(name), QByteArray(3 * 1024 * 1024, 'x'));
  writeFile(path("other.kvt"), "other");
  auto job = richJob();
  job->kvtFile = path("job.kvt");
  ASSERT_TRUE(job->saveToKVT());
  EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"job.kvt", "other.kvt", leftovers[1]}));
}

// ---- Loading ----

TEST_F(Tickets, AHandWrittenTicketLoadsIntoTheJob) {
  auto job = loadFixture(QStringLiteral("full.kvt"));
  EXPECT_EQ(job->jobName, "Site plans");
  EXPECT_EQ(job->printerName, "Big Plotter");

  clsPJLOptionSet& j = *job->jobOpts;
  EXPECT_EQ(j.optionNames(), (QStringList{"OWNER", "ACCT_ACCTID", "ACCT_USERID", "COPIES", "PRIORITY",
                                          "HOLDRELEASE", "FINISHPROGID", "COLLATIONENABLE"}));
  EXPECT_EQ(opt(j, "ACCT_ACCTID"), "ACC-7");
  EXPECT_EQ(opt(j, "ACCT_USERID"), "jsmith");
  EXPECT_EQ(opt(j, "COPIES"), "3");
  EXPECT_EQ(opt(j, "PRIORITY"), "2");
  EXPECT_EQ(opt(j, "HOLDRELEASE"), "HOLD");
  EXPECT_EQ(opt(j, "FINISHPROGID"), "\"Fold A4\"");
  EXPECT_EQ(opt(j, "COLLATIONENABLE"), "ON");

  // The defaults: unnumbered LABEL and JOBFINISHING, SETUP000; LABEL000 and JOBFINISHING000 are skipped.
  clsPJLOptionSet& d = *job->docDefaults;
  EXPECT_EQ(opt(d, "FININTTITLEBLOCK"), "ON");
  EXPECT_EQ(opt(d, "FINISHPROGID"), "\"Fold A4\"");
  EXPECT_EQ(opt(d, "TITLEBLOCK"), "UPPERLEFT");
  EXPECT_EQ(opt(d, "LABELFONT"), "Helvetica");
  EXPECT_EQ(opt(d, "LABELSHADING"), "50");
  EXPECT_EQ(opt(d, "LABELSIZE"), "10");
  EXPECT_EQ(opt(d, "LABELUSED"), "TRUE");
  EXPECT_EQ(opt(d, "LABELLOCY"), "1");
  EXPECT_EQ(opt(d, "LABELLOCX"), "LEFT");
  EXPECT_EQ(opt(d, "LABELSTRING"), "\"Approved\"");
  EXPECT_EQ(opt(d, "LABELROTATE"), "90");
  EXPECT_EQ(opt(d, "JUSTIFYX"), "1");
  EXPECT_EQ(opt(d, "JUSTIFYY"), "CENTER");
  EXPECT_EQ(opt(d, "DOCCOPIES"), "2");
  EXPECT_EQ(opt(d, "MIRRORIMAGE"), "MIRROR_Y");
  EXPECT_EQ(opt(d, "MEDIANAME"), "\"BOND\"");
  EXPECT_EQ(opt(d, "PAGEROTATE"), "AUTO");
  EXPECT_EQ(opt(d, "MEDIASOURCE"), "ROLL1");
  EXPECT_EQ(opt(d, "PAGESCALING"), "AUTO");
  EXPECT_EQ(opt(d, "LINESCALEMODE"), "OFF");
  EXPECT_EQ(opt(d, "PAPER"), "ISO_A1");
  EXPECT_FALSE(d.pjlOpt(QStringLiteral("COLLATIONENABLE")).isValid());

  ASSERT_EQ(job->documentCount(), 2);
  clsDocument& first = *job->docs().at(0);
  EXPECT_EQ(first.fileName, "/plans/ground floor.plt");
  clsPJLOptionSet& o = *first.opts;
  EXPECT_EQ(opt(o, "DOCCOPIES"), "1");
  EXPECT_EQ(opt(o, "MIRRORIMAGE"), "MIRROR_XY");
  EXPECT_EQ(opt(o, "MEDIANAME"), "\"Film\"");
  EXPECT_EQ(opt(o, "PAGEROTATE"), "270");
  EXPECT_EQ(opt(o, "MEDIASOURCE"), "ROLL2");
  EXPECT_EQ(opt(o, "PAGESCALING"), "200");
  EXPECT_EQ(opt(o, "JUSTIFYX"), "LEFT");
  EXPECT_EQ(opt(o, "JUSTIFYY"), "1.5");
  EXPECT_EQ(opt(o, "LINESCALEMODE"), "ON");
  EXPECT_EQ(opt(o, "PAPER"), "ANSI_D");
  EXPECT_EQ(opt(o, "TITLEBLOCK"), "LOWERRIGHT");
  EXPECT_EQ(opt(o, "FININTTITLEBLOCK"), "OFF");
  EXPECT_EQ(opt(o, "FINISHPROGID"), "\"Stack\"");
  // An unused label shows the defaults' label.
  EXPECT_EQ(opt(o, "LABELUSED"), "FALSE");
  EXPECT_EQ(opt(o, "LABELSTRING"), "\"Approved\"");
  EXPECT_EQ(opt(o, "LABELFONT"), "Helvetica");
  EXPECT_EQ(opt(o, "LABELLOCY"), "1");
  EXPECT_EQ(opt(o, "LABELLOCX"), "LEFT");

  clsDocument& second = *job->docs().at(1);
  EXPECT_EQ(second.fileName, "/plans/roof.plt");
  clsPJLOptionSet& s = *second.opts;
  EXPECT_EQ(opt(s, "DOCCOPIES"), "1");
  EXPECT_EQ(opt(s, "MEDIANAME"), "\"Glossy Paper\"");
  // Inherited distances were converted to inches once, not again.
  EXPECT_EQ(opt(s, "JUSTIFYX"), "1");
  EXPECT_EQ(opt(s, "PAGESCALING"), "AUTO");
}

TEST_F(Tickets, NoTemporaryKeysAreLeftAfterLoading) {
  auto job = loadFixture(QStringLiteral("full.kvt"));
  QList<clsPJLOptionSet*> sets = {job->jobOpts.get(), job->docDefaults.get()};
  for (const auto& entry : job->docs()) sets.append(entry.second->opts.get());
  for (clsPJLOptionSet* set : sets) {
    for (const QString& key : kTemporaryKeys) EXPECT_EQ(set->option(key), nullptr) << key.toStdString();
  }
  EXPECT_NE(job->docDefaults->option(QStringLiteral("LABELUSED")), nullptr);
}

TEST_F(Tickets, LineFeedOnlyTicketsLoadAlike) {
  auto crlf = loadFixture(QStringLiteral("full.kvt"));
  QByteArray text = readFile(TestEnv::dataPath(QStringLiteral("tickets/full.kvt")));
  ASSERT_TRUE(text.contains("\r\n"));
  auto lf = loadTicket(text.replace("\r\n", "\n"));
  EXPECT_EQ(lf->jobName, crlf->jobName);
  EXPECT_EQ(lf->printerName, crlf->printerName);
  EXPECT_EQ(lf->jobOpts->optsList(), crlf->jobOpts->optsList());
  ASSERT_EQ(lf->documentCount(), crlf->documentCount());
  for (qsizetype i = 0; i < lf->documentCount(); ++i) {
    EXPECT_EQ(lf->docs().at(i)->fileName, crlf->docs().at(i)->fileName);
    for (const QString& name : docOpts(*crlf, i).optsList())
      EXPECT_EQ(opt(docOpts(*lf, i), name), opt(docOpts(*crlf, i), name)) << name.toStdString();
  }
}

TEST_F(Tickets, MediaTypePaperLoadsAsBond) {
  auto job = loadTicket(
      "[SETUP000]\r\nMEDIATYPE=pApEr\r\n[DOCUMENT001]\r\n[SETUP001]\r\nMEDIATYPE=PAPER\r\n"
      "[DOCUMENT002]\r\n[SETUP002]\r\nMEDIATYPE=Paper Roll\r\n");
  EXPECT_EQ(opt(*job->docDefaults, "MEDIANAME"), "\"BOND\"");
  EXPECT_EQ(opt(docOpts(*job, 0), "MEDIANAME"), "\"BOND\"");
  EXPECT_EQ(opt(docOpts(*job, 1), "MEDIANAME"), "\"Paper Roll\"");
}

TEST_F(Tickets, DescriptionGivesWholeCopiesFromTwoTo999) {
  const QList<QPair<QByteArray, std::string>> cases = {{"2.5", "2"},  {"3.5", "4"},   {"0", "1"},
                                                       {"1000", "1"}, {"999", "999"}, {"1", "1"},
                                                       {"-4", "1"},   {"many", "1"}};
  for (const auto& [description, copies] : cases) {
    auto job = loadTicket("[SETUP000]\r\nDESCRIPTION=" + description + "\r\n");
    EXPECT_EQ(opt(*job->docDefaults, "DOCCOPIES"), copies) << description.constData();
  }
}

TEST_F(Tickets, MillimetreDistancesAreConvertedToInches) {
  // The unnumbered label comes first: from SETUP000 on, label keys are skipped.
  auto job = loadTicket(
      "[LABEL]\r\nLABELUNITS=MM\r\nLABELLOCX=ABSOLUTE\r\nLABELABSX=50.8\r\nLABELLOCY=ABSOLUTE\r\n"
      "[SETUP000]\r\nJUSTUNITS=mm\r\nJUSTTYPEX=absolute\r\nJUSTDISTX=25.4\r\nJUSTTYPEY=Absolute\r\n"
      "JUSTDISTY=12.7\r\n[LABEL]\r\nLABELFONT=Skipped\r\n");
  clsPJLOptionSet& d = *job->docDefaults;
  EXPECT_EQ(opt(d, "JUSTIFYX"), "1");
  EXPECT_EQ(opt(d, "JUSTIFYY"), "0.5");
  EXPECT_EQ(opt(d, "LABELLOCX"), "2");
  EXPECT_EQ(opt(d, "LABELLOCY"), "0");
  EXPECT_FALSE(d.pjlOpt(QStringLiteral("LABELFONT")).isValid());
}

TEST_F(Tickets, FitAndAutomaticRotationWinOverTheirNumbers) {
  auto job = loadTicket(
      "[SETUP000]\r\nSCALINGPERCENT=50\r\nSCALINGTYPE=tofit\r\nROTATION=90\r\nAUTOROTATE=true\r\n"
      "[DOCUMENT001]\r\n[SETUP001]\r\nSCALINGPERCENT=50\r\nSCALINGTYPE=FIXED\r\nROTATION=90\r\n"
      "AUTOROTATE=false\r\n");
  EXPECT_EQ(opt(*job->docDefaults, "PAGESCALING"), "AUTO");
  EXPECT_EQ(opt(*job->docDefaults, "PAGEROTATE"), "AUTO");
  EXPECT_EQ(opt(docOpts(*job, 0), "PAGESCALING"), "50");
  EXPECT_EQ(opt(docOpts(*job, 0), "PAGEROTATE"), "90");
}

TEST_F(Tickets, EachNumberedFileSectionIsADocument) {
  auto job = loadTicket(
      "[FILE001]\nFILEPATH=/plans/a.plt\nMEDIASIZE=ISO_A3\n[FILE002]\nFILEPATH = /plans/b.plt\n"
      "[FILE]\nFILEPATH=/plans/not a document.plt\n");
  ASSERT_EQ(job->documentCount(), 2);
  EXPECT_EQ(job->docs().at(0)->fileName, "/plans/a.plt");
  EXPECT_EQ(opt(docOpts(*job, 0), "PAPER"), "ISO_A3");
  EXPECT_EQ(job->docs().at(1)->fileName, "/plans/not a document.plt");
}

// A ticket's document that is a FIFO, device, folder or loop of links is refused
// with its message; one that is missing stays, as its file may come back (a share
// not mounted yet), and fails the print if it is still missing then.
TEST_F(Tickets, DocumentsThatAreNoFilesAreRefusedAndMissingOnesKept) {
  const QString fifo = path(QStringLiteral("plot.fifo"));
  TestEnv::makeFifo(fifo);
  const QString loop = path(QStringLiteral("loop.plt"));
  QFile::link(loop, loop);
  const QString real = path(QStringLiteral("real.plt"));
  writeFile(real, "PA0,0;");
  PJLTest::MessageLog messages;
  auto job = loadTicket("[DOCUMENT001]\nDOCUMENTNAME=" + fifo.toUtf8() + "\n[DOCUMENT002]\nDOCUMENTNAME=" +
                        real.toUtf8() + "\n[DOCUMENT003]\nDOCUMENTNAME=" + folder.toUtf8() +
                        "\n[DOCUMENT004]\nDOCUMENTNAME=/plans/missing.plt\n[FILE005]\nFILEPATH=/dev/zero\n"
                        "[FILE006]\nFILEPATH=" +
                        loop.toUtf8() + "\n");
  ASSERT_EQ(job->documentCount(), 2);
  EXPECT_EQ(job->docs().at(0)->fileName, real);
  EXPECT_EQ(job->docs().at(1)->fileName, "/plans/missing.plt");
  EXPECT_EQ(job->refusedDocuments(), 4);
  const QString title = QStringLiteral("Could Not Read File|");
  EXPECT_EQ(messages.shown, (QStringList{title + fifo, title + folder, title + "/dev/zero", title + loop}));
}

TEST_F(Tickets, ALoneCarriageReturnInAValueIsDroppedAndTheJobRoundTrips) {
  auto job = loadTicket(
      "[DOCUMENT001]\r\nDOCUMENTNAME=/plans/a\rb.plt\r\n[FILE002]\r\nFILEPATH=/plans/c\r\rd.plt\r\n");
  ASSERT_EQ(job->documentCount(), 2);
  EXPECT_EQ(job->docs().at(0)->fileName, "/plans/ab.plt");
  EXPECT_EQ(job->docs().at(1)->fileName, "/plans/cd.plt");
  const auto reloaded = saveAndReload(*job);
  ASSERT_NE(reloaded, nullptr);
  ASSERT_EQ(reloaded->documentCount(), 2);
  EXPECT_EQ(reloaded->docs().at(1)->fileName, "/plans/cd.plt");
}

TEST_F(Tickets, PathsBeforeTheirDocumentSectionAreSkipped) {
  auto job = loadTicket(
      "[SETUP001]\r\nFILEPATH=/"
      "skipped.plt\r\nPAPER=x\r\nMEDIASIZE=ISO_A4\r\n[LABEL001]\r\nLABELFONT=Skipped\r\n"
      "[DOCUMENT001]\r\nDOCUMENTNAME=/kept.plt\r\n[LABEL001]\r\nLABELUSED=true\r\nLABELFONT=Kept\r\n");
  EXPECT_EQ(opt(*job->docDefaults, "PAPER"), "ISO_A4");
  EXPECT_FALSE(job->docDefaults->pjlOpt(QStringLiteral("LABELFONT")).isValid());
  ASSERT_EQ(job->documentCount(), 1);
  EXPECT_EQ(job->docs().at(0)->fileName, "/kept.plt");
  EXPECT_EQ(opt(docOpts(*job, 0), "LABELFONT"), "Kept");
}

TEST_F(Tickets, MalformedLinesAreIgnored) {
  static const char kText[] =
      "MEDIASIZE=before any section\r\n[\r\n[]\r\n=\r\n=x\r\n[SETUP\r\nMEDIASIZE=A3\r\n[DOCUMENT001\r\n"
      "\x00\xff\xfe=\x01\r\n[SETUP000]\r\n =ISO_A4\r\nMEDIASIZE==ISO_A2\r\nno equals sign\r\n[COLOR_001]\r\n"
      "[LABEL]\r\nLABELFONT=skipped after SETUP000\r\n";
  auto job = loadTicket(QByteArray(kText, sizeof kText - 1));
  EXPECT_EQ(job->documentCount(), 0);
  EXPECT_EQ(job->docDefaults->optionNames(), (QStringList{"PAPER", "MIRRORIMAGE"}));
  EXPECT_EQ(opt(*job->docDefaults, "PAPER"), "=ISO_A2");
  EXPECT_EQ(opt(*job->docDefaults, "MIRRORIMAGE"), "MIRROR_OFF");
}

// ---- Round trip ----

TEST_F(Tickets, SaveLoadAndSaveAgainGivesTheSameTicket) {
  configurePrinter();
  auto job = richJob();
  job->kvtFile = path(QStringLiteral("first.kvt"));
  ASSERT_TRUE(job->saveToKVT());

  clsJob loaded;
  loaded.kvtFile = job->kvtFile;
  ASSERT_TRUE(loaded.loadFromKVT());
  loaded.kvtFile = path(QStringLiteral("second.kvt"));
  ASSERT_TRUE(loaded.saveToKVT());
  EXPECT_EQ(afterFirstLine(readFile(loaded.kvtFile)), afterFirstLine(readFile(job->kvtFile)));
}

TEST_F(Tickets, ARoundTripKeepsTheJob) {
  configurePrinter();
  auto job = richJob();
  const auto reloaded = saveAndReload(*job);
  ASSERT_NE(reloaded, nullptr);
  clsJob& loaded = *reloaded;

  EXPECT_EQ(loaded.jobName, job->jobName);
  EXPECT_EQ(loaded.printerName, job->printerName);
  for (const QString name :
       {"ACCT_ACCTID", "ACCT_USERID", "COPIES", "PRIORITY", "HOLDRELEASE", "COLLATIONENABLE"})
    EXPECT_EQ(opt(*loaded.jobOpts, name), opt(*job->jobOpts, name)) << name.toStdString();
  EXPECT_FALSE(loaded.docDefaults->pjlOpt(QStringLiteral("COLLATIONENABLE")).isValid());

  const QStringList documentOptions = {
      "DOCCOPIES",   "MEDIANAME", "PAPER",        "MEDIASOURCE",      "PAGESCALING",
      "PAGEROTATE",  "JUSTIFYX",  "JUSTIFYY",     "MIRRORIMAGE",      "LINESCALEMODE",
      "LABELSTRING", "LABELLOCX", "LABELLOCY",    "LABELFONT",        "LABELSHADING",
      "LABELROTATE", "LABELSIZE", "FINISHPROGID", "FININTTITLEBLOCK", "TITLEBLOCK"};
  for (const QString& name : job->docDefaults->optsList())
    EXPECT_EQ(opt(*loaded.docDefaults, name), opt(*job->docDefaults, name)) << name.toStdString();
  ASSERT_EQ(loaded.documentCount(), 2);
  for (qsizetype i = 0; i < 2; ++i) {
    EXPECT_EQ(loaded.docs().at(i)->fileName, job->docs().at(i)->fileName);
    for (const QString& name : docOpts(*job, i).optsList()) {
      ASSERT_TRUE(documentOptions.contains(name)) << name.toStdString();
      EXPECT_EQ(opt(docOpts(loaded, i), name), opt(docOpts(*job, i), name)) << i << name.toStdString();
    }
  }
}

TEST_F(Tickets, NamesAndPathsKeepTheirDoubleQuotes) {
  auto job = std::make_unique<clsJob>();
  job->jobName = QStringLiteral("The \"final\" set");
  job->printerName = QStringLiteral("\"Big\" Plotter");
  addNamed(*job, QStringLiteral("/plans/\"roof\".plt"));
  const auto reloaded = saveAndReload(*job);
  ASSERT_NE(reloaded, nullptr);
  clsJob& loaded = *reloaded;
  EXPECT_EQ(loaded.jobName, job->jobName);
  EXPECT_EQ(loaded.printerName, job->printerName);
  ASSERT_EQ(loaded.documentCount(), 1);
  EXPECT_EQ(loaded.docs().at(0)->fileName, "/plans/\"roof\".plt");
}

}  // namespace

TEST_F(Tickets, OptionsAJobLacksStayAbsentAfterARoundTrip) {
  auto job = std::make_unique<clsJob>();
  job->docDefaults->setPjlOpt(QStringLiteral("MEDIASOURCE"), QStringLiteral("ROLL1"));
  clsDocument* doc = addNamed(*job, QStringLiteral("/plans/a.plt"));
  doc->opts->setPjlOpt(QStringLiteral("MEDIASOURCE"), QVariant());
  const auto reloaded = saveAndReload(*job);
  ASSERT_NE(reloaded, nullptr);
  clsJob& loaded = *reloaded;
  for (const QString name : {"ACCT_ACCTID", "ACCT_USERID"})
    EXPECT_FALSE(loaded.jobOpts->pjlOpt(name).isValid()) << name.toStdString();
  EXPECT_EQ(opt(*loaded.docDefaults, "MEDIASOURCE"), "ROLL1");
  ASSERT_EQ(loaded.documentCount(), 1);
  for (const QString name : {"MEDIASOURCE", "MEDIANAME", "LABELSTRING"})
    EXPECT_FALSE(docOpts(loaded, 0).pjlOpt(name).isValid()) << name.toStdString();
}

// ---- Large and hostile tickets ----

// The writer numbers the 1000th document "1000"; only its last three digits
// used to be read, so it and every later one were lost.
TEST_F(Tickets, AJobOfMoreThan999DocumentsRoundTrips) {
  clsJob job;
  for (int i = 1; i <= 1001; ++i) addNamed(job, QStringLiteral("/plans/%1.plt").arg(i));
  job.docs().at(999)->opts->setPjlOpt(QStringLiteral("PAPER"), QStringLiteral("ISO_A2"));
  const auto reloaded = saveAndReload(job);
  ASSERT_NE(reloaded, nullptr);
  ASSERT_EQ(reloaded->documentCount(), 1001);
  for (qsizetype i : {0, 998, 999, 1000})
    EXPECT_EQ(reloaded->docs().at(i)->fileName, QStringLiteral("/plans/%1.plt").arg(i + 1));
  EXPECT_EQ(opt(docOpts(*reloaded, 999), "PAPER"), "ISO_A2");
  EXPECT_TRUE(readFile(job.kvtFile).contains("\r\n[SETUP1000]\r\n"));
}

TEST_F(Tickets, SectionNumbersAreReadWithAllTheirDigits) {
  auto job = loadTicket(
      "[DOCUMENT001]\nDOCUMENTNAME=/a.plt\n[DOCUMENT1000]\nDOCUMENTNAME=/b.plt\n"
      "[SETUP1000]\nMEDIASIZE=ISO_A1\n[DOCUMENT0002]\nDOCUMENTNAME=/not a document.plt\n"
      "[FILE123456]\nFILEPATH=/c.plt\n");
  ASSERT_EQ(job->documentCount(), 3);
  EXPECT_EQ(job->docs().at(0)->fileName, "/a.plt");
  EXPECT_EQ(job->docs().at(1)->fileName, "/b.plt");
  EXPECT_EQ(opt(docOpts(*job, 1), "PAPER"), "ISO_A1");
  EXPECT_EQ(job->docs().at(2)->fileName, "/c.plt");
}

TEST_F(Tickets, ARepeatedSectionNamesTheSameDocument) {
  auto job = loadTicket(
      "[DOCUMENT001]\nDOCUMENTNAME=/a.plt\n[DOCUMENT002]\nDOCUMENTNAME=/b.plt\n"
      "[DOCUMENT001]\n[SETUP001]\nMEDIASIZE=ISO_A3\n[document002]\nDOCUMENTNAME=/b2.plt\n");
  ASSERT_EQ(job->documentCount(), 2);
  EXPECT_EQ(job->docs().at(0)->fileName, "/a.plt");
  EXPECT_EQ(opt(docOpts(*job, 0), "PAPER"), "ISO_A3");
  EXPECT_EQ(job->docs().at(1)->fileName, "/b2.plt");
}

TEST_F(Tickets, ATicketNamingTheMostDocumentsLoadsThemAll) {
  EXPECT_EQ(loadTicket(fileSections(65535))->documentCount(), 65535);
}

// A ticket of nothing but section lines used to take memory without bound.
TEST_F(Tickets, ATicketNamingTooManyDocumentsIsRefused) {
  const QString log = path(QStringLiteral("kvt.log"));
  gLogging = true;
  gLogFile = log;
  const QString file = path(QStringLiteral("hostile.kvt"));
  writeFile(file, "[JOBSETUP]\nNAME=kept out\n" + fileSections(65536) + "[FILE001]\n");
  clsJob job;
  job.kvtFile = file;
  EXPECT_FALSE(job.loadFromKVT());
  gLogging = false;
  EXPECT_EQ(job.documentCount(), 0);
  EXPECT_TRUE(job.jobName.isEmpty());
  EXPECT_TRUE(
      readFile(log).contains("names 65536 documents, more than 65535; the ticket is taken as damaged."));
}

TEST_F(Tickets, RepeatedSectionsDoNotCountAsMoreDocuments) {
  EXPECT_EQ(loadTicket(fileSections(3000).repeated(3))->documentCount(), 3000);
}
