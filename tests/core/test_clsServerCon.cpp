#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include "PrinterEmulator.h"
#include "StalledListener.h"
#include "TestEnv.h"
#include "clsServerCon.h"
#include "modLumasetCommon.h"

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

QByteArray pattern(qsizetype size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

QStringList logLines() {
  QFile file(gLogFile);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines;
  for (const QString& line :
       QString::fromLatin1(file.readAll()).split(QStringLiteral("\n"), Qt::SkipEmptyParts))
    lines.append(line.trimmed());
  return lines;
}

void startLogging() {
  gLogging = true;
  gLogFile = TestEnv::sandbox() + QStringLiteral("/kvt.log");
  QFile::remove(gLogFile);
}

bool sendAndWait(clsServerCon& con, const QByteArray& data, qint32 length = 0) {
  con.send(data, length);
  return PrinterEmulator::waitFor([&] { return !con.sending; }, 20000);
}

// Collects every message the client hands on.
struct Messages {
  QStringList list;
  explicit Messages(clsServerCon& con) {
    QObject::connect(&con, &clsServerCon::ProcessResult, [this](const QString& m) { list.append(m); });
  }
};

}  // namespace

TEST(clsServerConSend, FortyThousandBytesGoOutInOrderAndTheLoopLogsFalse) {
  startLogging();
  PrinterEmulator printer;
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  EXPECT_TRUE(con.connected());
  const QByteArray data = pattern(40000);
  ASSERT_TRUE(sendAndWait(con, data));
  EXPECT_FALSE(con.sending);
  EXPECT_TRUE(con.sendSuccess);
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return printer.bytesReceived(0) == 40000; }));
  EXPECT_EQ(printer.received(0), data);
  const QStringList lines = logLines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(
      lines.last().endsWith(QStringLiteral("clsServerCon-writeData: Finishing writing loop. Sending: False")))
      << lines.last().toStdString();
}

TEST(clsServerConSend, ZeroOrOverlongLengthSendsTheWholeArrayAndAShorterOneOnlyItsPart) {
  PrinterEmulator printer;
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(sendAndWait(con, "first|", 0));
  ASSERT_TRUE(sendAndWait(con, "second|", 1000));
  ASSERT_TRUE(sendAndWait(con, "third|and not this", 6));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return printer.bytesReceived(0) == 19; }));
  EXPECT_EQ(printer.received(0), QByteArray("first|second|third|"));
}

TEST(clsServerConSend, AnEmptyArraySendsNothingAndReportsNoSuccess) {
  PrinterEmulator printer;
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  const QByteArray empty;
  con.send(empty, 0);
  EXPECT_FALSE(con.sending);
  EXPECT_FALSE(con.sendSuccess);
}

TEST(clsServerConSend, AFullSocketKeepsTheSendGoingUntilThePeerReadsAgain) {
  PrinterEmulator printer(PrinterEmulator::Options{4096});
  printer.setReading(false);
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  const QByteArray data = pattern(24 * 1024 * 1024);
  con.send(data, 0);
  EXPECT_TRUE(con.sending);
  for (int i = 0; i < 10; ++i) PumpEvents();
  EXPECT_TRUE(con.sending);
  EXPECT_TRUE(con.sendSuccess);
  printer.setReading(true);
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return !con.sending; }, 30000));
  EXPECT_TRUE(con.sendSuccess);
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return printer.bytesReceived(0) == data.size(); }, 30000));
  EXPECT_TRUE(printer.received(0) == data);
}

TEST(clsServerConSend, APeerClosingMidwayEndsTheSendWithoutSuccess) {
  PrinterEmulator printer;
  printer.closeAfter(100000);
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  const QByteArray data = pattern(32 * 1024 * 1024);
  ASSERT_TRUE(sendAndWait(con, data));
  EXPECT_FALSE(con.sendSuccess);
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return !con.connected(); }));
  EXPECT_EQ(printer.received(0), data.left(100000));
}

TEST(clsServerConReceive, MessagesAreCutAtFormFeedsAcrossReads) {
  PrinterEmulator printer;
  printer.setReplies({{"A\fB\fC", 0}, {"D\f", 200}, {"\f\f", 50}}, QByteArray());
  clsServerCon con;
  Messages messages(con);
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return messages.list.size() == 3; }));
  EXPECT_EQ(messages.list, (QStringList{"A", "B", "CD"}));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return messages.list.size() == 5; }));
  EXPECT_EQ(messages.list.mid(3), (QStringList{"", ""}));
}

TEST(clsServerConReceive, RepliesAreAnsiText) {
  PrinterEmulator printer;
  printer.setReplies({{"Pel\xED"
                       "cula \x80\f",
                       0}},
                     QByteArray());
  clsServerCon con;
  Messages messages(con);
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return messages.list.size() == 1; }));
  EXPECT_EQ(messages.list.first(), QString::fromUtf8("Película €"));
}

TEST(clsServerConReceive, APartialReplyNeverJoinsTheNextConnection) {
  PrinterEmulator printer;
  printer.setReplies({{"stale", 0}}, "go");
  clsServerCon con;
  Messages messages(con);
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(sendAndWait(con, "go"));
  for (int i = 0; i < 10; ++i) PumpEvents();
  printer.setReplies({{"fresh\f", 0}}, "go");
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(sendAndWait(con, "go"));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return !messages.list.isEmpty(); }));
  EXPECT_EQ(messages.list, QStringList{"fresh"});
}

TEST(clsServerConReceive, AFloodWithoutFormFeedClosesTheConnection) {
  PrinterEmulator printer;
  printer.setReplies({{QByteArray(3 * 1024 * 1024, 'x'), 0}}, QByteArray());
  clsServerCon con;
  Messages messages(con);
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return !con.connected(); }, 20000));
  EXPECT_TRUE(messages.list.isEmpty());
}

TEST(clsServerConReceive, APeerThatClosesReleasesTheControl) {
  PrinterEmulator printer;
  printer.closeAfter(2);
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(sendAndWait(con, "hi"));
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return !con.connected(); }));
}

TEST(clsServerConConnect, ARefusedPortFailsQuickly) {
  PrinterEmulator printer;
  printer.refuseConnections();
  clsServerCon con;
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(con.connect(kLoopback, printer.port()));
  EXPECT_FALSE(con.connected());
  EXPECT_LT(clock.elapsed(), clsServerCon::ConnectLimitMs);
  EXPECT_EQ(printer.connectionCount(), 0);
}

TEST(clsServerConConnect, AHandshakeThatNeverCompletesGivesUpAtTheLimit) {
  StalledListener stalled;
  clsServerCon con;
  con.setConnectLimit(300);
  EXPECT_FALSE(con.connect(kLoopback, stalled.port()));
  EXPECT_FALSE(con.connected());
}

TEST(clsServerConConnect, PortsOutsideOneTo65535AreRefused) {
  clsServerCon con;
  EXPECT_FALSE(con.connect(kLoopback, 0));
  EXPECT_FALSE(con.connect(kLoopback, 65536));
  EXPECT_FALSE(con.connect(kLoopback, -1));
  EXPECT_FALSE(con.connected());
}

TEST(clsServerConConnect, AnUnknownHostFails) {
  clsServerCon con;
  EXPECT_FALSE(con.connect(QStringLiteral("no-such-host.invalid"), 2000));
  EXPECT_FALSE(con.connected());
}

TEST(clsServerConConnect, AHostNameIsResolved) {
  PrinterEmulator printer;
  clsServerCon con;
  EXPECT_TRUE(con.connect(QStringLiteral("localhost"), printer.port()) ||
              con.connect(kLoopback, printer.port()));
}

TEST(clsServerConConnect, ConnectingAgainClosesTheEarlierSocket) {
  PrinterEmulator printer;
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return printer.connectionCount() == 1; }));
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return printer.closed(0); }));
  EXPECT_FALSE(printer.closed(1));
}

TEST(clsServerConConnect, DisconnectWithoutConnectOnlyResetsTheSendState) {
  clsServerCon con;
  con.disconnect();
  EXPECT_FALSE(con.connected());
  EXPECT_FALSE(con.sending);
  EXPECT_FALSE(con.sendSuccess);
}

TEST(clsServerConConnect, DisconnectStopsASendInProgress) {
  PrinterEmulator printer(PrinterEmulator::Options{4096});
  printer.setReading(false);
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  const QByteArray data = pattern(24 * 1024 * 1024);
  con.send(data, 0);
  ASSERT_TRUE(con.sending);
  con.disconnect();
  EXPECT_FALSE(con.sending);
  EXPECT_FALSE(con.sendSuccess);
  EXPECT_FALSE(con.connected());
}

// A printer may stop reading for a while; a caller that no one watches gives it a limit.
TEST(clsServerConSend, ASendThatGetsNoByteAcceptedForTheStallLimitGivesTheConnectionUp) {
  startLogging();
  PrinterEmulator printer(PrinterEmulator::Options{4096});
  printer.setReading(false);
  clsServerCon con;
  int lost = 0;
  QObject::connect(&con, &clsServerCon::ConnectionLost, [&] { ++lost; });
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  con.setStallLimit(200);
  const QByteArray data = pattern(24 * 1024 * 1024);
  ASSERT_TRUE(sendAndWait(con, data));
  EXPECT_FALSE(con.sendSuccess);
  EXPECT_FALSE(con.connected());
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(
      logLines()
          .filter(QStringLiteral("clsServerCon-send: No byte accepted for 200 ms. Closing the connection."))
          .size(),
      1);
  printer.setReading(true);
  EXPECT_TRUE(PrinterEmulator::waitFor([&] { return printer.closed(0); }));
  EXPECT_LT(printer.bytesReceived(0), data.size());
}

// Every byte the printer takes starts the limit afresh, also while the socket
// still holds more than it can take: a slow but steady printer whose whole send
// takes far longer than the limit gets everything.
TEST(clsServerConSend, ASlowButSteadyPrinterNeverReachesTheStallLimit) {
  PrinterEmulator printer(PrinterEmulator::Options{4096});
  printer.setReadRate(1024 * 1024);
  clsServerCon con;
  ASSERT_TRUE(con.connect(kLoopback, printer.port()));
  con.setStallLimit(700);
  const QByteArray data = pattern(4 * 1024 * 1024);
  ASSERT_TRUE(sendAndWait(con, data));
  EXPECT_TRUE(con.sendSuccess);
  EXPECT_TRUE(con.connected());
  ASSERT_TRUE(PrinterEmulator::waitFor([&] { return printer.bytesReceived(0) == data.size(); }, 30000));
  EXPECT_TRUE(printer.received(0) == data);
}
