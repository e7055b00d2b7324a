#include <QCryptographicHash>

#include "DownloadTestBase.h"

using namespace DownloadErrors;
using DownloadFixture::readFile;
using DownloadFixture::writeFile;

namespace {

constexpr int kSize = 200000;

class DownloadFtpTest : public DownloadTestBase {
 protected:
  void startPeer(const QStringList& more = {}) {
    peer = std::make_unique<DownloadPeer>("ftp_peer.py", QStringList{"--root", served} + more);
    ASSERT_NE(peer->port(), 0);
  }
  QString url(const QString& name) const { return peer->url("ftp", name); }
  std::unique_ptr<DownloadPeer> peer;
};

TEST_F(DownloadFtpTest, FreshDownloadSavesTheExactFile) {
  const QByteArray data = serve("setup.exe", kSize);
  startPeer();
  ASSERT_EQ(fetch(url("setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_TRUE(observer.calls().contains("started 200000 setup.exe"));
  EXPECT_EQ(observer.calls().last(), "finished");
}

TEST_F(DownloadFtpTest, ResumesThroughRest) {
  const QByteArray data = serve("setup.exe", kSize);
  writeFile(part("setup.exe"), data.left(54321));
  startPeer();
  ASSERT_EQ(fetch(url("setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_TRUE(observer.calls().contains("progress 54321"));
  EXPECT_EQ(observer.progressSum(), kSize);
}

TEST_F(DownloadFtpTest, AServerRefusingRestGetsTheWholeFileAgain) {
  const QByteArray data = serve("setup.exe", kSize);
  writeFile(part("setup.exe"), QByteArray(54321, 'x'));
  startPeer({"--no-rest"});
  ASSERT_EQ(fetch(url("setup.exe")), 0u);
  EXPECT_EQ(readFile(target("setup.exe")), data);
  EXPECT_TRUE(observer.calls().contains("progress 0"));
}

// A ".part" file as large as the file or larger: a part that checks out is the
// file; any other is emptied and the whole file fetched again.
TEST_F(DownloadFtpTest, APartFileTheServerHasNothingToAddToIsCheckedLikeAFinishedDownload) {
  const QByteArray data = serve("setup.exe", kSize);
  const QByteArray md5 = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
  const struct {
    const char* name;
    QByteArray part;
    QByteArray expectedMd5;
    bool fetchedAgain;
  } cases[] = {
      {"as large as the file", data, {}, false},
      {"with the expected MD5", data, md5, false},
      {"with a wrong MD5", QByteArray(kSize, 'x'), md5, true},
      {"larger than the file", data + "x", {}, true},
  };
  startPeer();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(target("setup.exe"));
    RecordingObserver watcher;
    job.setObserver(&watcher);
    job.setExpectedFile(0, c.expectedMd5);
    writeFile(part("setup.exe"), c.part);
    ASSERT_EQ(fetch(url("setup.exe")), 0u);
    EXPECT_EQ(readFile(target("setup.exe")), data);
    EXPECT_EQ(watcher.progressSum(), c.fetchedAgain ? kSize : 0);
    EXPECT_EQ(watcher.calls().contains("progress 0"), c.fetchedAgain);
    EXPECT_EQ(watcher.calls().last(), "finished");
  }
}

TEST_F(DownloadFtpTest, AMissingFileFails) {
  startPeer();
  EXPECT_EQ(fetch(url("missing.exe")), transferError(CURLE_REMOTE_FILE_NOT_FOUND));
  EXPECT_FALSE(QFile::exists(part("missing.exe")));
}

}  // namespace
