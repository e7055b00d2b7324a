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
  void add(const QString& path, const QString& subfolder) {
    DownloadJobRecord record;
    record.url = peer->url("http", path);
    record.subfolder = subfolder;
    queue.addJob(record);
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

}  // namespace
