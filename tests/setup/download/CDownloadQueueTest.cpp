#include <QFileInfo>

#include "CDownloadQueue.h"
#include "DownloadTestBase.h"

using DownloadFixture::readFile;

namespace {

class DownloadQueueTest : public DownloadTestBase {
 protected:
  void SetUp() override {
    DownloadTestBase::SetUp();
    peer.reset(DownloadPeer::http(served));
    ASSERT_NE(peer->port(), 0);
    queue.setDownloadFolder(downloads);
  }
  DownloadJobRecord add(const QString& path, const QString& subfolder) {
    DownloadJobRecord record;
    record.url = peer->url("http", path);
    record.subfolder = subfolder;
    queue.addJob(record);
    return record;
  }
  std::unique_ptr<DownloadPeer> peer;
  CDownloadQueue queue;
};

TEST_F(DownloadQueueTest, RunsAJobIntoItsSubfolderAndClearsItsStatus) {
  const QByteArray data = serve("setup.exe", 5000);
  add("files/setup.exe", "redist\\x86");
  EXPECT_EQ(queue.downloadFolder(), downloads + "/");
  EXPECT_EQ(queue.job(0).status, 4u);
  ASSERT_EQ(queue.RunQueuedJob(0), 0u);
  EXPECT_EQ(queue.job(0).status, 0u);
  EXPECT_EQ(readFile(downloads + "/redist/x86/setup.exe"), data);
}

TEST_F(DownloadQueueTest, AFailedJobOrAnIndexBeyondTheQueueGivesFive) {
  add("status/404/setup.exe", "");
  add("files/setup.exe", "../outside");
  EXPECT_EQ(queue.RunQueuedJob(0), 5u);
  EXPECT_EQ(queue.job(0).status, 4u);
  EXPECT_EQ(queue.RunQueuedJob(1), 5u);
  EXPECT_EQ(queue.RunQueuedJob(2), 5u);
  EXPECT_EQ(queue.RunQueuedJob(-1), 5u);
  queue.clear();
  EXPECT_EQ(queue.count(), 0);
}

// The slot one past the queue's end still holds a job the queue held before:
// an index check that lets count() through would run it.
TEST_F(DownloadQueueTest, TheIndexOnePastTheEndGivesFiveAndRunsNothing) {
  serve("first.exe", 100);
  serve("second.exe", 100);
  const DownloadJobRecord first = add("files/first.exe", "");
  const DownloadJobRecord second = add("files/second.exe", "");
  queue.clear();
  queue.addJob(first);
  EXPECT_EQ(queue.RunQueuedJob(queue.count(), &observer), 5u);
  EXPECT_TRUE(observer.calls().isEmpty());
  EXPECT_FALSE(QFile::exists(downloads + "/second.exe"));
  EXPECT_EQ(queue.RunQueuedJob(queue.count() - 1, &observer), 0u);
  EXPECT_EQ(second.status, 4u);
}

TEST_F(DownloadQueueTest, TheRecordsSizeAndMd5ReachTheJob) {
  const QByteArray data = serve("setup.exe", 1000);
  DownloadJobRecord record = add("nolength/setup.exe", "");
  record.expectedSize = 999;
  queue.job(0) = record;
  EXPECT_EQ(queue.RunQueuedJob(0), 5u);
  EXPECT_EQ(QFileInfo(downloads + "/setup.exe.part").size(), 0);
  // A complete ".part" file with another MD5 is fetched again.
  record.url = peer->url("http", "files/setup.exe");
  record.expectedSize = 1000;
  record.md5 = QByteArray(32, 'a');
  queue.job(0) = record;
  DownloadFixture::writeFile(downloads + "/setup.exe.part", QByteArray(1000, 'x'));
  ASSERT_EQ(queue.RunQueuedJob(0), 0u);
  EXPECT_EQ(readFile(downloads + "/setup.exe"), data);
}

}  // namespace
