#include <QCryptographicHash>
#include <QFileInfo>
#include <QThread>

#include "DownloadTestBase.h"
#include "RefusingPort.h"

using namespace DownloadErrors;
using DownloadFixture::readFile;
using DownloadFixture::writeFile;

namespace {

constexpr int kSize = 300000;

class DownloadHttpTest : public DownloadTestBase {
 protected:
  void SetUp() override {
    DownloadTestBase::SetUp();
    log = TestEnv::sandbox() + "/requests.log";
    peer.reset(DownloadPeer::http(served, {"--log", log}));
    ASSERT_NE(peer->port(), 0);
  }
  QString url(const QString& path) const { return peer->url("http", path); }
  QStringList requests() const { return QString::fromLatin1(readFile(log)).split('\n', Qt::SkipEmptyParts); }

  // Waits (bounded) until the job reported more than `bytes`.
  bool waitForProgress(qint64 bytes) {
    for (int i = 0; i < 1000 && observer.progressSum() <= bytes && job.isRunning(); ++i) QThread::msleep(10);
    return observer.progressSum() > bytes;
  }

  QString log;
  std::unique_ptr<DownloadPeer> peer;
};

TEST_F(DownloadHttpTest, FreshDownloadSavesTheExactFileAndTellsTheObserverInOrder) {
  const QByteArray data = serve("setup.exe", kSize);
  ASSERT_EQ(job.StartDownload(url("files/setup.exe"), QString(), nullptr, true, true, QString(), true), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_FALSE(QFile::exists(part("setup.exe")));
  EXPECT_EQ(observer.progressSum(), kSize);

  const QStringList calls = observer.calls();
  ASSERT_GE(calls.size(), 6);
  EXPECT_EQ(calls.mid(0, 4), QStringList({"status 1", "status 2", "started 300000 setup.exe", "progress 0"}));
  EXPECT_EQ(calls.last(), "finished");
  for (int i = 4; i + 1 < calls.size(); i += 2) {
    EXPECT_EQ(calls[i], "status 3");
    EXPECT_TRUE(calls[i + 1].startsWith("progress "));
  }
  EXPECT_EQ(requests(), QStringList{"/files/setup.exe -"});

  const SystemTime modified = job.lastModified();  // Tue, 15 Nov 1994 08:12:31 GMT
  EXPECT_EQ(modified.year, 1994);
  EXPECT_EQ(modified.month, 11);
  EXPECT_EQ(modified.day, 15);
  EXPECT_EQ(modified.dayOfWeek, 2);
  EXPECT_EQ(modified.hour, 8);
  EXPECT_EQ(modified.minute, 12);
  EXPECT_EQ(modified.second, 31);
}

// Down to a part one byte short, which fetches the last byte alone.
TEST_F(DownloadHttpTest, ResumesAPartFileFromItsSize) {
  const QByteArray data = serve("setup.exe", kSize);
  for (const int held : {123457, kSize - 1}) {
    SCOPED_TRACE(held);
    QFile::remove(log);
    QFile::remove(target("setup.exe"));
    RecordingObserver watcher;
    job.setObserver(&watcher);
    writeFile(part("setup.exe"), data.left(held));
    ASSERT_EQ(fetch(url("files/setup.exe")), 0u);
    EXPECT_EQ(readFile(target("setup.exe")), data);
    EXPECT_EQ(requests(), QStringList{QStringLiteral("/files/setup.exe bytes=%1-").arg(held)});
    EXPECT_TRUE(watcher.calls().contains("started 300000 setup.exe"));
    EXPECT_TRUE(watcher.calls().contains(QStringLiteral("progress %1").arg(held)));
    EXPECT_EQ(watcher.progressSum(), kSize);
  }
}

TEST_F(DownloadHttpTest, WithoutResumeAPartFileIsRewritten) {
  const QByteArray data = serve("setup.exe", kSize);
  writeFile(part("setup.exe"), QByteArray(kSize + 50, 'x'));
  ASSERT_EQ(fetch(url("files/setup.exe"), false), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_EQ(requests(), QStringList{"/files/setup.exe -"});
}

// The server ignores the Range, or answers from elsewhere than asked: the
// ".part" file is emptied and the result is the exact file.
TEST_F(DownloadHttpTest, AServerThatDoesNotContinueWhereAskedStartsTheFileOver) {
  const QByteArray data = serve("setup.exe", kSize);
  for (const QString mode : {"norange", "shifted"}) {
    SCOPED_TRACE(mode.toStdString());
    writeFile(part("setup.exe"), QByteArray(1000, 'x'));
    ASSERT_EQ(fetch(url(mode + "/setup.exe")), 0u);
    EXPECT_EQ(readFile(target("setup.exe")), data);
    QFile::remove(target("setup.exe"));
  }
  EXPECT_EQ(requests(), QStringList({"/norange/setup.exe bytes=1000-", "/shifted/setup.exe bytes=1000-",
                                     "/shifted/setup.exe -"}));
}

// The server has nothing to add to the ".part" file (416 to the Range, or 200
// with a length the file already has): a part that checks out is the file, any
// other, or one the server gives no size to check against, is emptied and the
// file fetched again, once: a file fetched again that does not check out either
// is kept for the caller's check.
TEST_F(DownloadHttpTest, APartFileTheServerHasNothingToAddToIsCheckedLikeAFinishedDownload) {
  const QByteArray data = serve("setup.exe", kSize);
  QByteArray wrong = data;
  wrong[kSize / 2] = char(~wrong[kSize / 2]);
  const QByteArray md5 = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
  const struct {
    const char* name;
    const char* mode;
    QByteArray part;
    qint64 expectedSize;
    QByteArray expectedMd5;
    bool fetchedAgain;
  } cases[] = {
      {"as large as the file", "files", data, 0, {}, false},
      {"as large, the server ignoring ranges", "norange", data, 0, {}, false},
      {"with the expected size and MD5", "files", data, kSize, md5.toUpper(), false},
      {"with a wrong MD5", "files", wrong, kSize, md5, true},
      {"with a wrong MD5, the server ignoring ranges", "norange", wrong, 0, md5, true},
      {"as large as the file, but not of the expected size", "files", data, kSize + 1, {}, true},
      {"larger than the file", "files", data + "x", 0, {}, true},
      {"as large, the server not telling the file's size", "nosize", data, 0, {}, true},
      {"with an MD5 that the file fetched again lacks too", "files", data, 0, QByteArray(32, '0'), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(log);
    QFile::remove(target("setup.exe"));
    RecordingObserver watcher;
    job.setObserver(&watcher);
    job.setExpectedFile(c.expectedSize, c.expectedMd5);
    writeFile(part("setup.exe"), c.part);
    ASSERT_EQ(fetch(url(QString(c.mode) + "/setup.exe")), 0u);
    EXPECT_EQ(readFile(target("setup.exe")), data);
    EXPECT_FALSE(QFile::exists(part("setup.exe")));
    const QString range = QStringLiteral("/%1/setup.exe bytes=%2-").arg(c.mode).arg(c.part.size());
    EXPECT_EQ(requests(), c.fetchedAgain ? QStringList({range, QStringLiteral("/%1/setup.exe -").arg(c.mode)})
                                         : QStringList{range});
    EXPECT_TRUE(watcher.calls().contains("started 300000 setup.exe"));
    EXPECT_EQ(watcher.calls().last(), "finished");
  }
}

TEST_F(DownloadHttpTest, RepliesThatEndTheJobSaveNothing) {
  const struct {
    int status;
    std::uint32_t code;
    bool reported;
  } cases[] = {
      {304, kNotModified, false}, {401, kAuthenticationRequired, true}, {407, kAuthenticationRequired, true},
      {403, kForbidden, true},    {404, httpStatusError(404), true},    {500, httpStatusError(500), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    RecordingObserver watcher;
    job.setObserver(&watcher);
    EXPECT_EQ(fetch(url(QStringLiteral("status/%1/setup.exe").arg(c.status))), c.code);
    EXPECT_FALSE(QFile::exists(target("setup.exe")));
    EXPECT_FALSE(QFile::exists(part("setup.exe")));
    EXPECT_EQ(watcher.calls().last().startsWith("error"), c.reported);
    EXPECT_FALSE(watcher.calls().join(' ').contains("started"));
  }
  EXPECT_TRUE(GetInternetErrorText(httpStatusError(404)).contains("404"));
}

TEST_F(DownloadHttpTest, AReplyWithoutLengthIsSavedWhole) {
  const QByteArray data = serve("setup.exe", kSize);
  ASSERT_EQ(fetch(url("nolength/setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_TRUE(observer.calls().contains("started 0 setup.exe"));
}

// At exactly the expected size the download completes; one byte more, from a
// server that announces no length or more than it should, or streams without
// end, fails the job at once and empties the ".part" file. A resumed download
// counts what the ".part" file holds already.
TEST_F(DownloadHttpTest, ADownloadFailsAsSoonAsItGrowsPastItsExpectedSize) {
  const QByteArray data = serve("setup.exe", 429);
  const struct {
    const char* path;
    qint64 expectedSize;
    qsizetype part;
    std::uint32_t code;
  } cases[] = {
      {"nolength/setup.exe", 429, 0, 0},
      {"nolength/setup.exe", 428, 0, kLargerThanExpected},
      {"files/setup.exe", 428, 0, kLargerThanExpected},
      {"endless/setup.exe", 429, 0, kLargerThanExpected},
      {"files/setup.exe", 428, 200, kLargerThanExpected},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + std::string(" part ") + std::to_string(c.part));
    QFile::remove(target("setup.exe"));
    QFile::remove(part("setup.exe"));
    if (c.part > 0) writeFile(part("setup.exe"), data.left(c.part));
    job.setExpectedFile(c.expectedSize, {});
    EXPECT_EQ(fetch(url(c.path)), c.code);
    EXPECT_EQ(requests().last(),
              "/" + QString(c.path) + (c.part > 0 ? QStringLiteral(" bytes=%1-").arg(c.part) : " -"));
    EXPECT_EQ(QFile::exists(target("setup.exe")), c.code == 0);
    if (c.code != 0) {
      EXPECT_EQ(QFileInfo(part("setup.exe")).size(), 0);
      EXPECT_EQ(observer.calls().last(), QStringLiteral("error 0 %1").arg(c.code, 0, 16));
    }
  }
  EXPECT_EQ(GetInternetErrorText(kLargerThanExpected), "Wrong size");
}

TEST_F(DownloadHttpTest, AConnectionClosedEarlyKeepsThePartFile) {
  serve("setup.exe", kSize);
  EXPECT_EQ(fetch(url("short/setup.exe")), kClosedEarly);
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
  EXPECT_EQ(QFileInfo(part("setup.exe")).size(), kSize / 2);
  EXPECT_EQ(observer.calls().last(), "error 0 e000000f");
}

// How the connection failed decides the code, and so the text the user reads.
TEST_F(DownloadHttpTest, AFailedConnectionNamesHowItFailed) {
  serve("setup.exe", kSize);
  const RefusingPort refusing;
  const QString refused = QStringLiteral("http://127.0.0.1:%1/setup.exe").arg(refusing.port());
  const std::pair<QString, std::uint32_t> cases[] = {
      {url("reset/setup.exe"), kConnectionReset},
      {refused, kConnectionRefused},
      {peer->url("https", "files/setup.exe"), transferError(CURLE_SSL_CONNECT_ERROR)},
  };
  for (const auto& [address, code] : cases) {
    QFile::remove(part("setup.exe"));
    EXPECT_EQ(fetch(address), code) << address.toStdString();
    EXPECT_FALSE(QFile::exists(target("setup.exe"))) << address.toStdString();
  }
}

TEST_F(DownloadHttpTest, PauseHoldsTheTransferAndResumeContinuesAtTheSameOffset) {
  const QByteArray data = serve("setup.exe", 200000);
  ASSERT_EQ(job.StartDownload(url("slow/setup.exe"), QString(), nullptr, true, false), 0u);
  ASSERT_TRUE(waitForProgress(40000));
  observer.pause = true;
  QThread::msleep(200);
  const qint64 held = QFileInfo(part("setup.exe")).size();
  QThread::msleep(300);
  EXPECT_EQ(QFileInfo(part("setup.exe")).size(), held);
  EXPECT_EQ(observer.progressSum(), held);
  observer.pause = false;
  job.waitForEnd();
  EXPECT_EQ(job.exitCode(), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_EQ(requests().size(), 1);
}

class DownloadStallTest : public DownloadHttpTest {
 protected:
  static constexpr std::chrono::milliseconds kLimit = ShortStallLimit::kLimit;
  ShortStallLimit shortLimit;
};

TEST_F(DownloadStallTest, AServerThatStopsAnsweringEndsTheJob) {
  serve("setup.exe", kSize);
  const struct {
    const char* name;
    QString url;
    qint64 kept;  // -1: no ".part" file
  } cases[] = {
      {"never answers", url("silent/setup.exe"), -1},
      {"stops after half the file", url("stall/setup.exe"), kSize / 2},
      {"says nothing to an FTP client", peer->url("ftp", "setup.exe"), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(part("setup.exe"));
    EXPECT_EQ(fetch(c.url), kStoppedAnswering);
    EXPECT_FALSE(QFile::exists(target("setup.exe")));
    EXPECT_EQ(QFile::exists(part("setup.exe")) ? QFileInfo(part("setup.exe")).size() : -1, c.kept);
    EXPECT_EQ(observer.calls().last(), "error 0 e0000017");
  }
  EXPECT_EQ(GetInternetErrorText(kStoppedAnswering), "The server stopped answering.");
}

TEST_F(DownloadStallTest, APauseLongerThanTheLimitResumesFine) {
  const QByteArray data = serve("setup.exe", 200000);
  ASSERT_EQ(job.StartDownload(url("slow/setup.exe"), QString(), nullptr, true, false), 0u);
  ASSERT_TRUE(waitForProgress(40000));
  observer.pause = true;
  QThread::msleep(3 * kLimit.count());
  EXPECT_TRUE(job.isRunning());
  observer.pause = false;
  job.waitForEnd();
  EXPECT_EQ(job.exitCode(), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
}

TEST_F(DownloadStallTest, WhilePausedASilentServerIsWaitedFor) {
  serve("setup.exe", kSize);
  observer.pause = true;
  ASSERT_EQ(job.StartDownload(url("silent/setup.exe"), QString(), nullptr, true, false), 0u);
  QThread::msleep(3 * kLimit.count());
  EXPECT_TRUE(job.isRunning());
  observer.pause = false;
  job.waitForEnd();
  EXPECT_EQ(job.exitCode(), kStoppedAnswering);
}

TEST_F(DownloadHttpTest, CancelEndsWithCancelledAndALaterRunResumes) {
  const QByteArray data = serve("setup.exe", 200000);
  observer.cancelAfter = 20000;
  EXPECT_EQ(fetch(url("slow/setup.exe")), kCancelled);
  const qint64 kept = QFileInfo(part("setup.exe")).size();
  EXPECT_GT(kept, 20000);
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
  EXPECT_FALSE(observer.calls().join(' ').contains("error"));
  EXPECT_FALSE(observer.calls().contains("finished"));

  observer.cancelAfter = -1;
  ASSERT_EQ(fetch(url("files/setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_EQ(requests().last(), QStringLiteral("/files/setup.exe bytes=%1-").arg(kept));
}

TEST_F(DownloadHttpTest, CancelWhileWaitingForTheReplyEndsWithCancelled) {
  serve("setup.exe", kSize);
  observer.cancel = true;
  EXPECT_EQ(fetch(url("files/setup.exe")), kCancelled);
  EXPECT_FALSE(QFile::exists(part("setup.exe")));
}

TEST_F(DownloadHttpTest, UrlsThatCannotBeFetched) {
  const struct {
    const char* url;
    std::uint32_t code;
  } cases[] = {
      {"http://127.0.0.1:9/files/", kNoTargetName},       {"http://127.0.0.1:9/files/..", kNoTargetName},
      {"mailto:someone@example.com", kUnsupportedScheme}, {"file:///etc/hosts", kUnsupportedScheme},
      {"no scheme at all", kUnsupportedScheme},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(fetch(c.url), c.code);
    EXPECT_EQ(observer.calls().last(), QStringLiteral("error 0 %1").arg(c.code, 0, 16));
  }
}

TEST_F(DownloadHttpTest, RedirectsAreFollowedTenTimesAndNoMore) {
  const QByteArray data = serve("setup.exe", 1000);
  ASSERT_EQ(fetch(url("redirect/10/setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  QFile::remove(target("setup.exe"));
  EXPECT_EQ(fetch(url("redirect/11/setup.exe")), transferError(CURLE_TOO_MANY_REDIRECTS));
  EXPECT_FALSE(QFile::exists(target("setup.exe")));
}

TEST_F(DownloadHttpTest, OneJobRunsAtATime) {
  serve("first.exe", 100000);
  const QByteArray second = serve("second.exe", 1000);
  CDownloadJob other;
  RecordingObserver otherObserver;
  other.setDownloadFolder(downloads);
  other.setObserver(&otherObserver);
  ASSERT_EQ(job.StartDownload(url("slow/first.exe"), QString(), nullptr, true, false), 0u);
  ASSERT_TRUE(waitForProgress(0));
  ASSERT_EQ(other.StartDownload(url("files/second.exe"), QString(), nullptr, true, false), 0u);
  QThread::msleep(200);
  EXPECT_TRUE(otherObserver.calls().isEmpty());
  EXPECT_EQ(job.StartDownload(url("files/second.exe"), QString(), nullptr, true, false), kBusy);
  job.waitForEnd();
  other.waitForEnd();
  EXPECT_EQ(job.exitCode(), 0u);
  EXPECT_EQ(other.exitCode(), 0u);
  EXPECT_EQ(readFile(target("second.exe")), second);
}

}  // namespace
