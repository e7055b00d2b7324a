#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "PrinterEmulator.h"
#include "TestEnv.h"
#include "clsPrinter.h"
#include "clsServerCon.h"
#include "frmProgress.h"
#include "modLumasetCommon.h"

namespace {

const QByteArray kQuery(
    "@PJL RESET\r\n@PJL INFO PLVMEDIA\r\n@PJL INFO PLVFINISHER\r\n@PJL INFO CONFIG\r\n"
    "@PJL INQUIRE IOTNUMTRAYS\r\n@PJL INFO PLVFONTS\r\n@PJL INFO ID\r\n");

QStringList items(const KeyedCollection<QString>& list) {
  QStringList out;
  for (const auto& entry : list) out.append(entry.second);
  return out;
}

QStringList mediaNames(const clsPrinter& printer) {
  QStringList out;
  for (const auto& entry : printer.mediaTypes) out.append(entry.second.name);
  return out;
}

QString addressOf(const PrinterEmulator& emulator) {
  return QStringLiteral("127.0.0.1:") + QString::number(emulator.port());
}

QString logText() {
  QFile file(gLogFile);
  return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

class StatusQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    gLogging = true;
    gLogFile = TestEnv::sandbox() + QStringLiteral("/kvt.log");
    QFile::remove(gLogFile);
  }

  std::unique_ptr<clsPrinter> printerFor(const PrinterEmulator& emulator) {
    return std::make_unique<clsPrinter>(QStringLiteral("Plotter"), addressOf(emulator));
  }

  void expectDefaults(const clsPrinter& p) {
    EXPECT_EQ(items(p.finishProgs), QStringList{"Bypass"});
    EXPECT_EQ(mediaNames(p), QStringList{"ANY"});
    EXPECT_EQ(items(p.sizes), QStringList{"Any"});
    EXPECT_EQ(items(p.sources), QStringList{"Auto"});
    EXPECT_EQ(items(p.fonts), QStringList{"Courier"});
    EXPECT_EQ(p.finisherModel, QString());
  }

  void expectFullReply(const clsPrinter& p) {
    EXPECT_EQ(items(p.sizes), (QStringList{"A4", "A3", "A0"}));
    EXPECT_EQ(items(p.sources), (QStringList{"ROLL1", "ROLL2", "TRAY1", "TRAY2"}));
    EXPECT_EQ(p.finisherModel, QStringLiteral("FoldMaster 200"));
    EXPECT_EQ(items(p.finishProgs), (QStringList{"Fold A4", "Stack"}));
    EXPECT_EQ(mediaNames(p), (QStringList{"ANY", "Plain Paper", "Film"}));
    const clsMedia* film = p.mediaTypes.find(QStringLiteral("xFILM"));
    ASSERT_NE(film, nullptr);
    EXPECT_EQ(film->frenchName, QStringLiteral("Film"));
    EXPECT_EQ(film->italianName, QStringLiteral("Pellicola"));
    EXPECT_EQ(film->germanName, QStringLiteral("Folie"));
    EXPECT_EQ(film->spainishName, QString::fromUtf8("Película"));
    EXPECT_EQ(film->portugueseName, QStringLiteral("Filme"));
    EXPECT_EQ(items(p.fonts), (QStringList{"Courier", "Helvetica"}));
    EXPECT_EQ(p.model(), QStringLiteral("WF 7170"));
    EXPECT_EQ(p.version(), QStringLiteral("2.3"));
  }
};

}  // namespace

TEST(clsPrinterAddress, PortDefaultsTo2000AndAnyValidPortIsTaken) {
  clsPrinter p(QStringLiteral("P"), QStringLiteral("plotter.example"));
  EXPECT_EQ(p.ipAddress(), QStringLiteral("plotter.example"));
  EXPECT_EQ(p.port(), 2000);
  p.address = QStringLiteral("10.1.2.3:9100");
  EXPECT_EQ(p.ipAddress(), QStringLiteral("10.1.2.3"));
  EXPECT_EQ(p.port(), 9100);
  p.address = QStringLiteral("host:65535");
  EXPECT_EQ(p.port(), 65535);
  p.address = QStringLiteral("host:40000");
  EXPECT_EQ(p.port(), 40000);
}

TEST(clsPrinterAddress, EmptyNonNumericOrOutOfRangePortsAreZero) {
  clsPrinter p;
  for (const char* address :
       {"host:", "host:abc", "host:0", "host:65536", "host:-5", "host:12ab", "host: 80"}) {
    p.address = QString::fromLatin1(address);
    EXPECT_EQ(p.port(), 0) << address;
    EXPECT_EQ(p.ipAddress(), QStringLiteral("host"));
  }
}

TEST(clsPrinterDefaults, ANewPrinterHoldsTheDefaultLists) {
  clsPrinter p;
  EXPECT_EQ(items(p.finishProgs), QStringList{"Bypass"});
  EXPECT_EQ(items(p.sizes), QStringList{"Any"});
  EXPECT_EQ(items(p.sources), QStringList{"Auto"});
  EXPECT_EQ(items(p.fonts), QStringList{"Courier"});
  ASSERT_EQ(p.mediaTypes.size(), 1);
  const clsMedia& any = p.mediaTypes.at(0);
  EXPECT_EQ(p.mediaTypes.keyAt(0), QStringLiteral("xANY"));
  EXPECT_EQ(any.name, QStringLiteral("ANY"));
  EXPECT_EQ(any.frenchName, QStringLiteral("Tout"));
  EXPECT_EQ(any.spainishName, QStringLiteral("Todo"));
  EXPECT_EQ(any.italianName, QStringLiteral("Tutto"));
  EXPECT_EQ(any.germanName, QStringLiteral("Alle"));
  EXPECT_EQ(any.portugueseName, QStringLiteral("Tudo"));
  EXPECT_EQ(p.model(), QString());
  EXPECT_EQ(p.version(), QStringLiteral("1.0"));
  EXPECT_FALSE(p.sending());
}

// An item line is read while at least six characters follow its first one
// before the section ends (the next reply): a last line of seven characters is
// listed, one of six is not.
TEST(StatusReplyItems, ALastLineIsListedOnlyWithSixCharactersAfterItsStart) {
  enum Section { Media, Finisher, Fonts };
  const QString heads[] = {
      QStringLiteral("@PJL INFO PLVMEDIA\r\n"),
      QStringLiteral("@PJL INFO PLVFINISHER\r\nFINISHPROGRAMS [1 ENUMERATED]\r\nNAME\tDESC\r\n"),
      QStringLiteral("@PJL INFO PLVFONTS\r\nFONTS [1 ENUMERATED]\r\n")};
  const struct {
    Section section;
    const char* lastLine;
    QStringList listed;
  } cases[] = {
      {Finisher, "Fo\tab\r\n", {"Fo"}},     {Finisher, "F\tab\r\n", {"Bypass"}},
      {Media, "= Ab\t\r\n", {"ANY", "Ab"}}, {Media, "= A\t\r\n", {"ANY"}},
      {Fonts, "\t\"Ab\"\r\n", {"Ab"}},      {Fonts, "\t\"A\"\r\n", {}},
  };
  for (const auto& c : cases) {
    QString sections[3] = {heads[Media], heads[Finisher], heads[Fonts]};
    sections[c.section] += QString::fromLatin1(c.lastLine);
    clsPrinter p;
    // Each section ends where the next reply begins.
    p.takeStatusReply({sections[Media], sections[Finisher], QStringLiteral("@PJL INFO CONFIG\r\n"),
                       QStringLiteral("@PJL INQUIRE IOTNUMTRAYS\r\n0\r\n"), sections[Fonts],
                       QStringLiteral("@PJL INFO ID\r\n\"WF 1\"\r\n")});
    const QStringList listed =
        c.section == Media ? mediaNames(p) : items(c.section == Finisher ? p.finishProgs : p.fonts);
    EXPECT_EQ(listed, c.listed) << c.lastLine;
  }
}

TEST_F(StatusQuery, AReplyInOnePieceFillsEveryList) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  expectFullReply(*p);
  EXPECT_EQ(emulator.received(0), kQuery);
  EXPECT_EQ(frmProgress::instance(), nullptr);
  EXPECT_TRUE(
      logText().contains(QStringLiteral("clsPrinter(Plotter)-StatusCon_ProcessResult. ID: WF 7170 2.3")));
  EXPECT_TRUE(logText().contains(
      QStringLiteral("clsPrinter(Plotter)-StatusCon_ProcessResult. Got  6 responses, expected 6.")));
}

TEST_F(StatusQuery, AReplyInSmallDelayedFragmentsIsJoined) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt"), 7, 2));
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  expectFullReply(*p);
}

TEST_F(StatusQuery, ASlowButSteadyPrinterNeverTimesOut) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt"), 100, 60));
  auto p = printerFor(emulator);
  p->setStatusTick(5);
  ASSERT_TRUE(p->update());
  expectFullReply(*p);
}

TEST_F(StatusQuery, MissingSectionsLeaveTheirListsAsTheyWere) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/missing.txt")));
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  EXPECT_EQ(items(p->sizes), QStringList{"Any"});
  EXPECT_EQ(items(p->finishProgs), QStringList{"Bypass"});
  EXPECT_EQ(items(p->fonts), QStringList{"Courier"});
  EXPECT_EQ(p->finisherModel, QString());
  EXPECT_EQ(items(p->sources), (QStringList{"Auto", "TRAY1", "TRAY2"}));
  EXPECT_EQ(mediaNames(*p), (QStringList{"ANY", "Plain Paper", "Film"}));
}

TEST_F(StatusQuery, TraysWithoutRollsAreAddedOnlyOnce) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/missing.txt")));
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  ASSERT_TRUE(p->update());
  EXPECT_EQ(items(p->sources), (QStringList{"Auto", "TRAY1", "TRAY2"}));
}

TEST_F(StatusQuery, MalformedLinesNeverReachIntoTheNextLine) {
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/malformed.txt")));
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  EXPECT_EQ(mediaNames(*p), (QStringList{"ANY", "Vellum", "Bond"}));
  const clsMedia* vellum = p->mediaTypes.find(QStringLiteral("xVELLUM"));
  ASSERT_NE(vellum, nullptr);
  EXPECT_EQ(vellum->frenchName, QString());
  EXPECT_EQ(vellum->italianName, QStringLiteral("Velina"));
  const clsMedia* bond = p->mediaTypes.find(QStringLiteral("xBOND"));
  ASSERT_NE(bond, nullptr);
  EXPECT_EQ(bond->frenchName, QStringLiteral("Papier bond"));
  EXPECT_EQ(bond->germanName, QString());
  EXPECT_EQ(bond->italianName, QString());
  EXPECT_EQ(p->mediaTypes.find(QStringLiteral("xANY"))->frenchName, QStringLiteral("Tout"));
  EXPECT_EQ(p->finisherModel, QString());
  EXPECT_EQ(items(p->finishProgs), QStringList{"Bypass"});
  EXPECT_TRUE(p->sizes.isEmpty());
  EXPECT_EQ(items(p->sources), QStringList{"ROLL9"});
  EXPECT_EQ(items(p->fonts), QStringList{"Times"});
  EXPECT_EQ(p->model(), QString());
  EXPECT_EQ(p->version(), QStringLiteral("1.0"));
}

TEST_F(StatusQuery, ASilentPrinterTimesOutAndChangesNothing) {
  PrinterEmulator emulator;
  auto p = printerFor(emulator);
  p->setStatusTick(5);
  EXPECT_FALSE(p->update());
  expectDefaults(*p);
  EXPECT_EQ(emulator.received(0), kQuery);
  EXPECT_TRUE(logText().contains(
      QStringLiteral("clsPrinter(Plotter)-update: Status request timed out. Resetting connection.")));
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return emulator.closed(0); }));
}

TEST_F(StatusQuery, ARefusedConnectionFailsTheQuery) {
  PrinterEmulator emulator;
  emulator.refuseConnections();
  auto p = printerFor(emulator);
  EXPECT_FALSE(p->update());
  expectDefaults(*p);
  EXPECT_TRUE(logText().contains(QStringLiteral("clsPrinter(Plotter)-update: Status connection failed.")));
}

TEST_F(StatusQuery, AnAddressWithABadPortFailsTheQuery) {
  for (const char* address : {"127.0.0.1:", "127.0.0.1:x", "127.0.0.1:70000"}) {
    clsPrinter p(QStringLiteral("Plotter"), QString::fromLatin1(address));
    EXPECT_FALSE(p.update()) << address;
  }
}

TEST_F(StatusQuery, CancelEndsTheQueryWithoutResult) {
  PrinterEmulator emulator;
  auto p = printerFor(emulator);
  QTimer::singleShot(300, [] {
    if (frmProgress* dialog = frmProgress::instance()) dialog->cmdCancel->click();
  });
  EXPECT_FALSE(p->update());
  expectDefaults(*p);
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return emulator.closed(0); }));
}

TEST_F(StatusQuery, AFloodingPrinterIsCutOff) {
  PrinterEmulator emulator;
  const QByteArray chunk = QByteArray(400 * 1024, 'x') + '\f';
  emulator.setReplies({{chunk, 0}, {chunk, 0}, {chunk, 0}, {chunk, 0}});
  auto p = printerFor(emulator);
  EXPECT_FALSE(p->update());
  expectDefaults(*p);
}

TEST_F(StatusQuery, ANewMediaReplyStartsAFreshCollection) {
  PrinterEmulator emulator;
  QList<ReplyFragment> replies{{"@PJL INFO PLVFINISHER\r\nMODEL = Old\r\n@PJL\f", 0}};
  replies.append(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  emulator.setReplies(replies);
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  expectFullReply(*p);
}

// A job sends over the same connection right after a query; nothing of the
// ended query may close it.
TEST_F(StatusQuery, NoTickOfAnEndedQueryClosesTheNextConnection) {
  PrinterEmulator refusing;
  refusing.refuseConnections();
  PrinterEmulator printer;
  auto p = printerFor(refusing);
  p->setStatusTick(10);
  ASSERT_FALSE(p->update());
  p->address = addressOf(printer);
  ASSERT_TRUE(p->connect());
  PrinterEmulator::waitFor([] { return false; }, 200);
  const QByteArray job("@PJL EOJ\r\n");
  p->send(job, 0);
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return !p->sending(); }));
  EXPECT_TRUE(p->sendSucceeded());
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return printer.received(0) == job; }));
  EXPECT_FALSE(printer.closed(0));
}

// A printer that sends a run of form feeds after its reply used to have the
// whole reply parsed again for every one of them.
TEST_F(StatusQuery, MessagesAfterTheCompleteReplyAreIgnored) {
  PrinterEmulator emulator;
  QList<ReplyFragment> replies = PrinterEmulator::fixture(QStringLiteral("status/full.txt"));
  replies.append({QByteArray(20000, '\f'), 0});
  replies.append({"@PJL INFO CONFIG\r\nPAPERS [1 ENUMERATED]\r\n\tLATE\r\n@PJL\f", 0});
  emulator.setReplies(replies);
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  expectFullReply(*p);
  EXPECT_EQ(logText().count(QStringLiteral("StatusCon_ProcessResult. ID: ")), 1);
  EXPECT_EQ(logText().count(QStringLiteral("StatusCon_ProcessResult. So far: ")), 6);
}

TEST_F(StatusQuery, WithoutLoggingTheReplyIsNotLogged) {
  gLogging = false;
  PrinterEmulator emulator;
  emulator.setReplies(PrinterEmulator::fixture(QStringLiteral("status/full.txt")));
  auto p = printerFor(emulator);
  ASSERT_TRUE(p->update());
  expectFullReply(*p);
  EXPECT_FALSE(QFile::exists(gLogFile));
}

// A query that can no longer complete used to wait for the idle time-out (10 s).
TEST_F(StatusQuery, AConnectionClosedBeforeTheReplyFailsAtOnce) {
  PrinterEmulator emulator;
  emulator.closeAfter(kQuery.size());
  auto p = printerFor(emulator);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(p->update());
  EXPECT_LT(clock.elapsed(), 5000);
  expectDefaults(*p);
  EXPECT_TRUE(logText().contains(
      QStringLiteral("clsPrinter(Plotter)-update: Status connection closed before the reply was complete.")));
  EXPECT_FALSE(logText().contains(QStringLiteral("timed out")));
}

TEST_F(StatusQuery, AReplyPastTheReceiveCapFailsAtOnce) {
  PrinterEmulator emulator;
  emulator.setReplies({{"@PJL INFO PLVMEDIA\r\n" + QByteArray(clsServerCon::ReceiveCap + 1, 'x'), 0}});
  auto p = printerFor(emulator);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(p->update());
  EXPECT_LT(clock.elapsed(), 5000);
  expectDefaults(*p);
  EXPECT_FALSE(logText().contains(QStringLiteral("timed out")));
}
