#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <cstdlib>
#include <memory>

#include "CDownloadJob.h"
#include "DownloadErrors.h"
#include "DownloadPeer.h"
#include "TestEnv.h"

// A served folder, a download folder, a job and its recording observer.
class DownloadTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "HTTP_PROXY",
                             "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "SSL_CERT_FILE", "SSL_CERT_DIR"})
      ::unsetenv(name);
    served = TestEnv::freshDir("served");
    downloads = TestEnv::freshDir("downloads");
    job.setDownloadFolder(downloads);
    job.setObserver(&observer);
  }

  // A file of `size` bytes in the served folder.
  QByteArray serve(const QString& name, int size) {
    const QByteArray data = DownloadFixture::content(size);
    DownloadFixture::writeFile(served + "/" + name, data);
    return data;
  }

  std::uint32_t fetch(const QString& url, bool resume = true) {
    return job.StartDownload(url, QString(), nullptr, resume, true);
  }

  QString target(const QString& name) const { return downloads + "/" + name; }
  QString part(const QString& name) const { return target(name) + ".part"; }

  QString served;
  QString downloads;
  RecordingObserver observer;
  CDownloadJob job;
};
