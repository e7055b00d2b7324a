#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <cerrno>
#include <climits>
#include <memory>

#include "CDownloadPage.h"
#include "DownloadPeer.h"
#include "SetupTexts.h"
#include "WizardTestBase.h"

namespace {

constexpr int kWaitMs = 20000;

class CDownloadPageTest : public WizardTestBase {
 protected:
  void SetUp() override {
    WizardTestBase::SetUp();
    config_.Options = "h";
    served_ = TestEnv::freshDir("served");
    log_ = TestEnv::sandbox() + "/requests.log";
    peer_.reset(DownloadPeer::http(served_, {"--log", log_}));
    ASSERT_GT(peer_->port(), 0);
  }

  // A download prerequisite of `size` bytes served under `mode`.
  PrerequisiteInfo& serve(const QString& name, int size, const QString& mode = "files") {
    const QByteArray data = DownloadFixture::content(size, quint32(size));
    DownloadFixture::writeFile(served_ + "/" + name, data);
    PrerequisiteInfo& info = add(name, PrerequisiteKind::Download);
    info.location = peer_->url("http", mode + "/" + name);
    info.exactSize = size;
    info.md5 = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
    return info;
  }

  // Opens the wizard on the Download page, with the automatic Next as asked.
  void startDownloads(bool automaticNext = false) {
    open();
    click(QWizard::NextButton);
    ASSERT_EQ(wizard_->currentId(), CPrereqWizard::DownloadPage);
    child<QCheckBox>("1026")->setChecked(automaticNext);
  }

  QWidget* page() const { return wizard_->page(CPrereqWizard::DownloadPage); }
  QTreeWidget* rows() const { return page()->findChild<QTreeWidget*>("1007"); }
  QString label(const char* name) const { return page()->findChild<QLabel*>(name)->text(); }
  QProgressBar* bar(const char* name) const { return page()->findChild<QProgressBar*>(name); }
  bool waitFor(const std::function<bool()>& done) const { return QTest::qWaitFor(done, kWaitMs); }
  bool waitForEnd() const {
    return waitFor([this] {
      return button(QWizard::NextButton)->isEnabled() || wizard_->currentId() != CPrereqWizard::DownloadPage;
    });
  }
  QStringList requests() const {
    QFile file(log_);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                          : QStringList();
  }

  QString served_;
  QString log_;
  std::unique_ptr<DownloadPeer> peer_;
};

TEST_F(CDownloadPageTest, TwoFilesAreDownloadedWithBothBarsAndTheTexts) {
  serve("a.exe", 300000);
  serve("b.exe", 100000);
  startDownloads();
  EXPECT_EQ(column(rows(), 0),
            QStringList({peer_->url("http", "files/a.exe"), peer_->url("http", "files/b.exe")}));
  EXPECT_EQ(column(rows(), 1), QStringList({"292 KB", "97 KB"}));
  EXPECT_EQ(bar("1009")->maximum(), 400000);
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::DownloadPage) << "no automatic Next";
  EXPECT_EQ(column(rows(), 2), QStringList({"Finished", "Finished"}));
  EXPECT_EQ(bar("1009")->value(), 400000);
  EXPECT_EQ(bar("1008")->value(), 100000);
  EXPECT_EQ(label("1013"), "Progress: 100% (390 KB of 390 KB)");
  EXPECT_EQ(label("1012"), "Download Finished");
  EXPECT_EQ(label("1014"), "");
  EXPECT_FALSE(page()->findChild<QPushButton*>("1011")->isEnabled());
  EXPECT_EQ(DownloadFixture::readFile(downloads_ + "/a.exe").size(), 300000);
  EXPECT_EQ(DownloadFixture::readFile(downloads_ + "/b.exe").size(), 100000);
  EXPECT_EQ(set_->chosenStates, QList<int>({PrerequisiteState::Downloaded, PrerequisiteState::Downloaded}));
}

TEST_F(CDownloadPageTest, AWrongSizeFailsTheRowAndReturnsToThePrerequisites) {
  serve("a.exe", 1000).exactSize = 999;
  serve("b.exe", 2000);
  startDownloads();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Some prerequisites could not be downloaded."),
            std::string::npos);
  EXPECT_EQ(column(rows(), 2), QStringList({"Wrong size", "Finished"}));
  EXPECT_EQ(set_->queue().job(0).status, 1u);
  EXPECT_EQ(column(list("1002"), 2), QStringList({"Download", "Install"}))
      << "the failed one can be tried again";
}

// The download folder lies where no folder can be made (sysfs refuses any,
// whoever asks): its row and its tooltip name that folder and
// the cause, in every language, and not the file that could then not be opened.
// (The status text shows the same text until the next job starts.)
TEST_F(CDownloadPageTest, AFolderThatCannotBeMadeIsNamedWithItsCauseInEveryLanguage) {
  const QString folder = QStringLiteral("/sys/kvt-downloads-%1/").arg(::getpid());
  if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno != EPERM) {
    ::rmdir(QFile::encodeName(folder).constData());
    GTEST_SKIP() << "this machine's /sys lets folders be made";
  }
  config_.DownloadFolder = folder;
  serve("a.exe", 1000);
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    wizard_.reset();
    startDownloads();
    ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }))
        << code.toStdString();
    const QString cause = SetupTexts::text(code, 275, {folder, SetupTexts::text(code, 267)});
    EXPECT_EQ(rows()->topLevelItem(0)->text(2), SetupTexts::text(code, 215, {cause})) << code.toStdString();
    EXPECT_EQ(rows()->topLevelItem(0)->toolTip(2), SetupTexts::text(code, 215, {cause}))
        << code.toStdString();
  }
}

TEST_F(CDownloadPageTest, AWrongMd5RemovesTheFileAndReturnsAfterAllJobs) {
  serve("a.exe", 5000).md5 = QString(32, 'f');
  serve("b.exe", 3000);
  startDownloads();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(column(rows(), 2),
            QStringList({"Corrupt file (wrong MD5 signature). File removed.", "Finished"}));
  EXPECT_FALSE(QFileInfo::exists(downloads_ + "/a.exe"));
  EXPECT_TRUE(QFileInfo::exists(downloads_ + "/b.exe"));
}

TEST_F(CDownloadPageTest, WithoutContentLengthTheFileIsMeasuredOnDisk) {
  serve("good.exe", 70000, "nolength");
  serve("short.exe", 50000, "nolength").exactSize = 50001;
  startDownloads();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(column(rows(), 2), QStringList({"Finished", "Wrong size"}));
}

TEST_F(CDownloadPageTest, PauseKeepsTheOffsetAndResumeContinues) {
  const QByteArray data = DownloadFixture::content(400000, 400000);
  serve("slow.exe", 400000, "slow");
  startDownloads();
  auto* pause = page()->findChild<QPushButton*>("1011");
  ASSERT_TRUE(waitFor([&] { return pause->isEnabled() && bar("1008")->value() > 20000; }));
  pause->click();
  EXPECT_EQ(pause->text(), "Resume");
  EXPECT_EQ(label("1012"), "Paused");
  EXPECT_EQ(rows()->topLevelItem(0)->text(2), "Paused");
  QTest::qWait(300);
  const qint64 held = QFileInfo(downloads_ + "/slow.exe.part").size();
  QTest::qWait(300);
  EXPECT_EQ(QFileInfo(downloads_ + "/slow.exe.part").size(), held);
  EXPECT_LT(held, 400000);
  pause->click();
  EXPECT_EQ(pause->text(), "Pause");
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(DownloadFixture::readFile(downloads_ + "/slow.exe"), data);
  EXPECT_EQ(requests().size(), 1) << "one transfer, never restarted";
}

TEST_F(CDownloadPageTest, WithAutomaticNextTheWizardMovesOnByItself) {
  const QByteArray script = "#!/bin/sh\nexit 0\n";
  DownloadFixture::writeFile(served_ + "/setup.sh", script);
  PrerequisiteInfo& info = add("setup.sh", PrerequisiteKind::Download);
  info.location = peer_->url("http", "files/setup.sh");
  info.exactSize = script.size();
  startDownloads(true);
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::InstallPage; }));
  EXPECT_TRUE(QFileInfo(downloads_ + "/setup.sh").isExecutable());
}

TEST_F(CDownloadPageTest, ASiteToOpenLeavesTheAutomaticInstallOffAndTheDownloadsWaitForNext) {
  serve("a.exe", 1000);
  add("site", PrerequisiteKind::WebSite);
  open();
  click(QWizard::NextButton);
  ASSERT_EQ(wizard_->currentId(), CPrereqWizard::DownloadPage);
  const auto* automatic = child<QCheckBox>("1026");
  EXPECT_FALSE(automatic->isChecked());
  EXPECT_FALSE(automatic->isEnabled());
  ASSERT_TRUE(waitForEnd());
  QTest::qWait(100);
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::DownloadPage);
  EXPECT_EQ(column(rows(), 2), QStringList{"Finished"});
  pressReturn();
  EXPECT_EQ(wizard_->currentId(), CPrereqWizard::OpenSitesPage) << "Return presses Next";
}

TEST_F(CDownloadPageTest, ATransferThatKeepsClosingEarlyIsRetriedThreeTimesWithoutProgress) {
  // Each answer sends half of what is left: 2 bytes, 1 byte, then nothing at all.
  serve("short.exe", 4, "short");
  startDownloads();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(requests().size(), 3 + 3) << requests().join(" | ").toStdString();
  EXPECT_TRUE(rows()->topLevelItem(0)->text(2).startsWith("Error: "))
      << rows()->topLevelItem(0)->text(2).toStdString();
}

TEST_F(CDownloadPageTest, DownloadsThatWouldNeverEndFailTheirRowsWithTheirTexts) {
  const ShortStallLimit shortLimit;
  serve("silent.exe", 1000, "silent");
  serve("endless.exe", 1000, "endless");
  startDownloads();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(column(rows(), 2), QStringList({"Error: The server stopped answering.", "Error: Wrong size"}));
}

TEST_F(CDownloadPageTest, BarsOfFilesAbove2GiBAreScaled) {
  add("huge.exe", PrerequisiteKind::Download).exactSize = 5LL << 30;
  config_.prerequisites.last().location = peer_->url("http", "status/404/huge.exe");
  add("also.exe", PrerequisiteKind::Download).exactSize = 3LL << 30;
  config_.prerequisites.last().location = peer_->url("http", "status/404/also.exe");
  startDownloads();
  EXPECT_EQ(bar("1009")->maximum(), 1 << 30) << "8 GiB in eighths";
  EXPECT_EQ(bar("1009")->value(), 0);
  EXPECT_GT(bar("1008")->maximum(), 1 << 30);
  EXPECT_EQ(column(rows(), 1), QStringList({"5242880 KB", "3145728 KB"}));
  testing::internal::CaptureStderr();
  ASSERT_TRUE(waitFor([this] { return wizard_->currentId() == CPrereqWizard::PrerequisitesPage; }));
  testing::internal::GetCapturedStderr();
}

TEST(CDownloadPageTexts, RemainingTime) {
  const qint64 kb = 1024;
  const struct {
    qint64 speed, left;
    const char* text;
  } cases[] = {
      {0, 1000, ""},
      {-5, 1000, ""},
      {100, 59 * kb, "59 sec at 1 KB/sec"},
      {2 * kb, 2 * kb * 60, "1 min 0 sec at 2 KB/sec"},
      {2 * kb, 2 * kb * 59, "59 sec at 2 KB/sec"},
      {kb, kb * 3600, "1 hr 0 min at 1 KB/sec"},
      {kb, kb * 3599, "59 min 59 sec at 1 KB/sec"},
      {kb, kb * (2 * 86400 + 3 * 3600 + 4 * 60 + 5), "51 hr 4 min at 1 KB/sec"},
      {1536, 1536 * 10, "10 sec at 1 KB/sec"},
      {kb, -1, "0 sec at 1 KB/sec"},
      {kb, LLONG_MAX, "2501999792983 hr 36 min at 1 KB/sec"},
  };
  for (const auto& c : cases) EXPECT_EQ(CDownloadPage::remainingTimeText(c.speed, c.left), c.text) << c.text;
}

TEST(CDownloadPageTexts, PercentagesStayWithinBoundsAndNeverDivideByZero) {
  const struct {
    qint64 done, total;
    int percent;
  } cases[] = {{0, 0, 0},
               {5, 0, 0},
               {1, 3, 33},
               {3, 3, 100},
               {4, 3, 100},
               {-1, 3, 0},
               {LLONG_MAX, LLONG_MAX, 100},
               {1, LLONG_MAX, 0},
               {LLONG_MAX - 1, LLONG_MAX, 100}};
  for (const auto& c : cases)
    EXPECT_EQ(CDownloadPage::percentOf(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

}  // namespace
