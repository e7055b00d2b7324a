#include "TestEnv.h"
#include "frmDebug.h"
#include "modFileSystem.h"
#include "modLumasetCommon.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QDateTime fixedTime() { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); }

class Logging : public ::testing::Test {
 protected:
  void SetUp() override {
    gLogging = true;
    gLogFile.clear();
    setLogClock(fixedTime);
  }
  void TearDown() override {
    gLogging = false;
    gLogFile.clear();
  }
};

}  // namespace

TEST(SplitCommandLine, QuotesGroupAndBlanksOrTabsSplit) {
  EXPECT_EQ(SplitCommandLine("a  \"b c\"\td"), (QStringList{"a", "b c", "d"}));
  EXPECT_EQ(SplitCommandLine("job.kvt /PRINTER \"Big Plotter\" /PRINT"),
            (QStringList{"job.kvt", "/PRINTER", "Big Plotter", "/PRINT"}));
}

TEST(SplitCommandLine, EmptyQuotesAndBlanksGiveNothing) {
  EXPECT_TRUE(SplitCommandLine("\"\"").isEmpty());
  EXPECT_TRUE(SplitCommandLine("   \t ").isEmpty());
  EXPECT_TRUE(SplitCommandLine("").isEmpty());
}

TEST(SplitCommandLine, UnclosedQuoteKeepsTheRestAndQuotesInsideTokensOnlyGroup) {
  EXPECT_EQ(SplitCommandLine("a \"b  c d"), (QStringList{"a", "b  c d"}));
  EXPECT_EQ(SplitCommandLine("/OPTS COPIES=\"2 3\"x"), (QStringList{"/OPTS", "COPIES=2 3x"}));
}

TEST(MinMaxValue, EqualValuesGiveTheSecond) {
  struct Tagged {
    int v;
    int tag;
    bool operator<(const Tagged& o) const { return v < o.v; }
  };
  EXPECT_EQ(MinValue(Tagged{3, 1}, Tagged{3, 2}).tag, 2);
  EXPECT_EQ(MaxValue(Tagged{3, 1}, Tagged{3, 2}).tag, 2);
  EXPECT_EQ(MinValue(2, 5), 2);
  EXPECT_EQ(MaxValue(2, 5), 5);
}

TEST_F(Logging, LineIsStampedDayMonthYearThenTime) {
  gLogFile = QDir(TestEnv::sandbox()).filePath("kvt.log");
  LogMessage("modPJLOpts-Initialise: PJL Opened.");
  LogMessage(QString::fromUtf8("second \u00e9"));
  QFile file(gLogFile);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(),
            QByteArray("08:12:26 14:05:09: modPJLOpts-Initialise: PJL Opened.\r\n"
                       "08:12:26 14:05:09: second \xE9\r\n"));
}

TEST_F(Logging, UnwritableLogFileLosesTheLineSilently) {
  gLogFile = QDir(TestEnv::sandbox()).filePath("no/such/folder/kvt.log");
  LogMessage("lost");
  EXPECT_FALSE(QFile::exists(gLogFile));
}

TEST_F(Logging, LogWindowPutsTheNewestLineOnTop) {
  const qsizetype before = frmDebug::instance().text().size();
  LogMessage("first");
  LogMessage("second");
  const QString text = frmDebug::instance().text();
  EXPECT_TRUE(text.startsWith("08:12:26 14:05:09: second\r\n08:12:26 14:05:09: first\r\n"));
  EXPECT_EQ(text.size(), before + 26 + 27);
  EXPECT_FALSE(frmDebug::instance().isVisible());
}

TEST_F(Logging, LogWindowIsCutPast20000CharactersOnly) {
  // Each line is 19 characters of stamp, the message and CR LF.
  const QString filler(20000 - 19 - 2, 'a');
  LogMessage(filler);
  EXPECT_EQ(frmDebug::instance().text().size(), 20000);
  LogMessage("");
  const QString cut = frmDebug::instance().text();
  EXPECT_EQ(cut.size(), 15000);
  EXPECT_TRUE(cut.startsWith("08:12:26 14:05:09: \r\n08:12:26 14:05:09: aaa"));
}

TEST(LoggingOff, WritesNothing) {
  gLogging = false;
  gLogFile = QDir(TestEnv::sandbox()).filePath("off.log");
  LogMessage("nothing");
  EXPECT_FALSE(QFile::exists(gLogFile));
  gLogFile.clear();
}

TEST(CommonInit, MakesTheTemporaryFolderAndRegistryRoot) {
  ASSERT_TRUE(commonInit());
  const QString temp = qEnvironmentVariable("TEMP");
  EXPECT_EQ(gTempDir, temp + "/Pelva Skyplain Vondir/Pelva Skyplain Vondir Dravmit/");
  EXPECT_TRUE(QDir(gTempDir).exists());
  EXPECT_EQ(gRegRoot, "Software\\Pelva\\Skyplain Vondir\\Vondir Submit\\");
  ASSERT_TRUE(commonInit());
  EXPECT_EQ(gTempDir, temp + "/Pelva Skyplain Vondir/Pelva Skyplain Vondir Dravmit/");
}

TEST(CommonInit, AFileInTheWayMovesToANumberedFolder) {
  const QString temp = qEnvironmentVariable("TEMP");
  QFile blocker(temp + "/Pelva Skyplain Vondir");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  ASSERT_TRUE(commonInit());
  EXPECT_EQ(gTempDir, temp + "/Pelva Skyplain Vondir_0/Pelva Skyplain Vondir Dravmit/");
}

TEST(ClipboardFiles, GivesLocalFilesOfAUriList) {
  auto* data = new QMimeData;
  data->setUrls({QUrl::fromLocalFile("/tmp/a b.plt"), QUrl("http://example.invalid/x.pdf"),
                 QUrl::fromLocalFile("/tmp/c.pdf")});
  QApplication::clipboard()->setMimeData(data);
  EXPECT_EQ(GetClipboardFiles(), (QStringList{"/tmp/a b.plt", "/tmp/c.pdf"}));
  QApplication::clipboard()->setText("plain");
  EXPECT_TRUE(GetClipboardFiles().isEmpty());
}

TEST(ShellExecuteWait, MissingFileAndUnknownType) {
  EXPECT_EQ(ShellExecuteWait(QDir(TestEnv::sandbox()).filePath("missing.pdf")), -1);
  const QString odd = QDir(TestEnv::sandbox()).filePath("data.zzqqunknown");
  QFile file(odd);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(64, '\x01'));
  file.close();
  EXPECT_EQ(ShellExecuteWait(odd), -2);
}
