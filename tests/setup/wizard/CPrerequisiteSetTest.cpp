#include <gtest/gtest.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTimer>

#include "BootstrapperRun.h"
#include "CBootstrapConfig.h"
#include "CPayloadArchive.h"
#include "CPrereqProgressDlg.h"
#include "CPrerequisiteSet.h"
#include "DownloadPeer.h"
#include "IProgressSink.h"
#include "TestEnv.h"

namespace {

const QByteArray kTool = "#!/bin/sh\nexit 0\n";

class CPrerequisiteSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestEnv::freshDir("downloads");
    config_.DownloadFolder = folder_;
  }

  void addDownload(const QString& md5, int state = PrerequisiteState::Download, const QString& options = {}) {
    PrerequisiteInfo info;
    info.name = "Tool";
    info.location = "http://127.0.0.1:9/get/tool.sh?x=1";
    info.kind = PrerequisiteKind::Download;
    info.exactSize = kTool.size();
    info.md5 = md5;
    info.folder = "sub";
    info.options = options;
    config_.prerequisites << info;
    config_.states << state;
  }

  QString md5Of(const QByteArray& data) const {
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toUpper();
  }

  QString folder_;
  CBootstrapConfig config_;
  CPayloadArchive archive_;
};

// Reports as a dialog would, and cancels after the first status.
class CancellingSink : public IProgressSink {
 public:
  void begin(int) override {}
  void start(int) override {}
  void finished() override { ++finishedCalls; }
  void status(const QString& text) override { texts << text; }
  void itemSucceeded() override {}
  bool isCancelled() override { return !texts.isEmpty(); }
  void itemFailed(int) override {}
  QStringList texts;
  int finishedCalls = 0;
};

}  // namespace

TEST_F(CPrerequisiteSetTest, TheLookedForFileIsWhereTheEngineWritesIt) {
  addDownload({});
  CPrerequisiteSet set(config_, archive_);
  EXPECT_EQ(set.downloadedFileFor(0), folder_ + "/sub/tool.sh");
}

TEST_F(CPrerequisiteSetTest, DownloadsMeantForTheTemporaryFolderGoToThePrivateOne) {
  const QString temp = qEnvironmentVariable("TMPDIR") + "/";
  const QString own = temp + QStringLiteral("KVTsetup-%1/").arg(::getuid());
  const struct {
    QString configured, archive, expected;
  } cases[] = {
      {"[TempFolder]dl", {}, own + "dl/"}, {temp, {}, own},           {own + "x", {}, own + "x/"},
      {folder_, {}, folder_ + "/"},        {{}, temp + "setup", own}, {{}, folder_ + "/setup", folder_ + "/"},
  };
  for (const auto& c : cases) {
    CBootstrapConfig config;
    config.DownloadFolder = c.configured;
    CPayloadArchive archive;
    if (!c.archive.isEmpty()) archive.SetArchivePath(c.archive);
    CPrerequisiteSet set(config, archive);
    EXPECT_EQ(set.queue().downloadFolder(), c.expected) << c.configured.toStdString();
  }
}

TEST_F(CPrerequisiteSetTest, ADownloadedFileCountsOnlyWithItsSizeAndDigest) {
  const struct {
    QByteArray data;
    QString md5;
    int state;
  } cases[] = {
      {kTool, md5Of(kTool), PrerequisiteState::DownloadedPresent},
      {kTool, md5Of(kTool).toLower(), PrerequisiteState::DownloadedPresent},
      {kTool, QString(), PrerequisiteState::DownloadedPresent},
      {kTool, md5Of("other"), PrerequisiteState::Download},
      {kTool + "x", QString(), PrerequisiteState::Download},
      {kTool.chopped(1), QString(), PrerequisiteState::Download},
  };
  for (const auto& c : cases) {
    config_.prerequisites.clear();
    config_.states.clear();
    addDownload(c.md5, PrerequisiteState::DownloadedPresent);
    BootstrapperRun::writeFile(folder_ + "/sub/tool.sh", c.data);
    CPrerequisiteSet set(config_, archive_);
    EXPECT_EQ(set.baseStates.value(0), c.state) << c.md5.toStdString();
  }
}

TEST_F(CPrerequisiteSetTest, ACheckedPresentPrerequisiteGetsItsForcedState) {
  addDownload({}, PrerequisiteState::NothingToDo, "m");
  PrerequisiteInfo site;
  site.kind = PrerequisiteKind::WebSite;
  PrerequisiteInfo file;
  config_.prerequisites << site << file;
  config_.states << PrerequisiteState::NothingToDo << PrerequisiteState::Install;
  CPrerequisiteSet set(config_, archive_);
  EXPECT_EQ(set.ChosenStateFor(0, true), PrerequisiteState::Download);
  EXPECT_EQ(set.ChosenStateFor(1, true), PrerequisiteState::OpenSite);
  EXPECT_EQ(set.ChosenStateFor(2, true), PrerequisiteState::Install);
  EXPECT_EQ(set.ChosenStateFor(2, false), PrerequisiteState::Unchecked);
  EXPECT_EQ(set.pendingMandatoryCount(), 0);
  EXPECT_TRUE(set.MandatoryDone());
  EXPECT_TRUE(set.HasPendingWork());
  EXPECT_TRUE(set.AnyInstall());
  EXPECT_FALSE(set.AnyOpenSite());
}

TEST_F(CPrerequisiteSetTest, AWrongDownloadIsDeletedWithTheFoldersItLeavesEmpty) {
  addDownload(md5Of("other"));
  BootstrapperRun::writeFile(folder_ + "/sub/tool.sh.part", kTool.left(3));
  CPrerequisiteSet set(config_, archive_);
  set.RunDownloadPass(nullptr);
  EXPECT_EQ(set.baseStates.value(0), PrerequisiteState::DownloadFailed);
  EXPECT_TRUE(QDir(folder_).exists());
}

TEST_F(CPrerequisiteSetTest, AQuietPassTellsADownloadThatEndedOnASilentServer) {
  qputenv("LANG", "C");
  qunsetenv("LC_ALL");
  qunsetenv("LC_MESSAGES");
  const std::unique_ptr<DownloadPeer> peer(DownloadPeer::http(TestEnv::freshDir("served")));
  addDownload({});
  config_.prerequisites[0].location = peer->url("http", "silent/tool.sh");
  const ShortStallLimit shortLimit;
  CPrerequisiteSet set(config_, archive_);
  testing::internal::CaptureStderr();
  set.RunDownloadPass(nullptr);
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(set.baseStates.value(0), PrerequisiteState::DownloadFailed);
  EXPECT_NE(told.find("Downloading Tool: Error: The server stopped answering.\n"), std::string::npos) << told;
}

TEST_F(CPrerequisiteSetTest, ACancelledSinkStopsThePassesBeforeTheNextItem) {
  BootstrapperRun::writeFile(folder_ + "/sub/tool.sh", kTool, true);
  addDownload({}, PrerequisiteState::DownloadedPresent);
  addDownload({}, PrerequisiteState::DownloadedPresent);
  CPrerequisiteSet set(config_, archive_);
  CancellingSink sink;
  set.RunAllPasses(sink);
  EXPECT_EQ(sink.texts, QStringList({"Installing Tool"}));
  EXPECT_EQ(sink.finishedCalls, 1);
}

TEST_F(CPrerequisiteSetTest, TheShortcutIsWrittenInThePrivateFolderAndRemoved) {
  const QString tmp = TestEnv::freshDir("tmp");
  const QString bin = TestEnv::freshDir("bin");
  ::setenv("TMPDIR", QFile::encodeName(tmp).constData(), 1);
  // The opener runs detached: it records whole, or the test could read it half written.
  BootstrapperRun::writeFile(
      bin + "/xdg-open", "#!/bin/sh\n" + TestEnv::recordWhole("printf '%s' \"$1\"", bin + "/opened"), true);
  const QByteArray path = qgetenv("PATH");
  ::setenv("PATH", QFile::encodeName(bin + ":" + path).constData(), 1);
  EXPECT_TRUE(CPrerequisiteSet::OpenUrlViaShortcut("http://127.0.0.1:9/site"));
  ::setenv("PATH", path.constData(), 1);
  EXPECT_TRUE(BootstrapperRun::waitFor(bin + "/opened"));
  EXPECT_EQ(BootstrapperRun::readFile(bin + "/opened"), "http://127.0.0.1:9/site");
  EXPECT_TRUE(QDir(tmp + QStringLiteral("/KVTsetup-%1").arg(::getuid())).entryList(QDir::Files).isEmpty());
}

TEST_F(CPrerequisiteSetTest, CancellingTheProgressDialogEndsItAtOnce) {
  const QString starts = TestEnv::sandbox() + "/starts";
  const QString release = TestEnv::sandbox() + "/release";
  // Each item records its start and runs until the test lets it end (a minute at most).
  const QByteArray waiting =
      QStringLiteral(
          "#!/bin/sh\necho >> '%1'\n"
          "n=0; while [ ! -e '%2' ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n + 1)); done\n")
          .arg(starts, release)
          .toUtf8();
  BootstrapperRun::writeFile(folder_ + "/sub/tool.sh", waiting, true);
  addDownload({}, PrerequisiteState::DownloadedPresent);
  addDownload({}, PrerequisiteState::DownloadedPresent);
  config_.prerequisites[0].exactSize = config_.prerequisites[1].exactSize = waiting.size();
  CPrerequisiteSet set(config_, archive_);
  CPrereqProgressDlg dialog(set, "KVT Setup");
  // Cancel while the first item runs, then let it end.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
    if (TestEnv::readFile(starts).isEmpty()) return;
    poll.stop();
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    EXPECT_FALSE(dialog.isVisible());
    BootstrapperRun::writeFile(release, "");
  });
  poll.start(10);
  EXPECT_EQ(dialog.run(), 2);
  // The worker finished the item under way and started no second one.
  EXPECT_EQ(TestEnv::readFile(starts), "\n");
}
