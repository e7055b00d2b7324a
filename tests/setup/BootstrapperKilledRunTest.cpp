#include <gtest/gtest.h>
#include <signal.h>

#include <QCryptographicHash>

#include "BootstrapperRun.h"

namespace {

// msiexec.exe opens its package once and hashes it through that same open file
// into "<run>.first", then again into "<run>.second" once "<run>.release" exists
// (each record a temporary renamed into place); <run> is KVT_TEST_RUN.
QByteArray holdingInstaller(const QString& records) {
  return QStringLiteral(
             "#!/bin/sh\nexec 3< \"$2\"\n"
             "record() { md5sum /proc/$$/fd/3 | cut -c1-32 > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"; }\n"
             "at='%1'/\"$KVT_TEST_RUN\"\nrecord \"$at.first\"\n"
             "n=0; while [ ! -e \"$at.release\" ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n + 1)); done\n"
             "record \"$at.second\"\n")
      .arg(records)
      .toUtf8();
}

QString md5Line(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex() + "\n";
}

// Waits (bounded) for the record at `path`, written whole; empty when none came.
QString waitForRecord(const QString& path) {
  BootstrapperRun::waitFor(path);
  return BootstrapperRun::readFile(path);
}

// The private folder's lock dies with a killed run, so the next run starts at
// once and extracts its own package where the killed run's installer still
// reads the older one: that installer must go on reading its own package whole.
TEST(BootstrapperKilledRunTest, AKilledRunsInstallerKeepsReadingItsOwnPackageWhileTheNextRunInstalls) {
  BootstrapperRun s;
  s.addMsiDll(3, 1, 4000, 0);
  BootstrapperRun::writeFile(s.system + "/msiexec.exe", holdingInstaller(s.records), true);
  const QByteArray packageA(200000, 'A'), packageB(100000, 'B');
  BootstrapperRun::writeFile(s.work + "/a.msi", packageA);
  BootstrapperRun::writeFile(s.work + "/b.msi", packageB);
  ASSERT_TRUE(s.build(s.work + "/setupA", {"--file", "1:0:package.msi=" + s.work + "/a.msi"}));
  ASSERT_TRUE(s.build(s.work + "/setupB", {"--file", "1:0:package.msi=" + s.work + "/b.msi"}));

  s.environment.insert("KVT_TEST_RUN", "a");
  auto first = s.start(s.work + "/setupA", {});
  ASSERT_EQ(waitForRecord(s.records + "/a.first"), md5Line(packageA));
  ::kill(pid_t(first->processId()), SIGKILL);
  ASSERT_TRUE(s.finish(*first));

  BootstrapperRun::writeFile(s.records + "/b.release", "");
  s.environment.insert("KVT_TEST_RUN", "b");
  ASSERT_TRUE(s.run(s.work + "/setupB", {}));
  EXPECT_EQ(s.exitCode, 0) << s.standardError.toStdString();
  EXPECT_EQ(BootstrapperRun::readFile(s.records + "/b.first"), md5Line(packageB));

  BootstrapperRun::writeFile(s.records + "/a.release", "");
  EXPECT_EQ(waitForRecord(s.records + "/a.second"), md5Line(packageA));
}

}  // namespace
