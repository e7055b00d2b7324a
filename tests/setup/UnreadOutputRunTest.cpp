// The setup and its builder write into a pipe whose reader has gone and still end
// with their own statuses; the programs the setup starts find SIGPIPE at its default.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <csignal>

#include "BootstrapperRun.h"
#include "TestEnv.h"

namespace {

class UnreadOutputRunTest : public ::testing::Test {
 protected:
  // Runs `program` to its end with its output and errors unread, started by a
  // parent that ignores SIGPIPE when `ignoring`; -1 when it did not end by itself.
  int run(const QString& program, const QStringList& args, bool ignoring = false) const {
    QProcess process;
    process.setProcessEnvironment(s.environment);
    process.setWorkingDirectory(s.work);
    TestEnv::writeOutputIntoUnreadPipe(process, [ignoring] {
      if (ignoring) ::signal(SIGPIPE, SIG_IGN);
    });
    process.start(program, args);
    if (!process.waitForFinished(90000)) {
      process.kill();
      process.waitForFinished();
      return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  // A stand-in at `path` that records the signals it ignores into `record` and ends with 0.
  void writeRecordingIgnoredSignals(const QString& path, const QString& record) const {
    BootstrapperRun::writeFile(
        path, "#!/bin/sh\n" + TestEnv::recordWhole("grep SigIgn: /proc/$$/status", record), true);
  }

  // The record holds a "SigIgn:" line without SIGPIPE.
  static bool brokenPipeAtDefault(const QString& record) {
    const QString line = BootstrapperRun::readFile(record).trimmed();
    if (!line.startsWith(QLatin1String("SigIgn:"))) return false;
    bool read = false;
    const quint64 ignored = line.mid(7).trimmed().toULongLong(&read, 16);
    return read && !(ignored & (1ull << (SIGPIPE - 1)));
  }

  BootstrapperRun s;
};

}  // namespace

TEST_F(UnreadOutputRunTest, TheBuilderEndsWithItsOwnStatus) {
  BootstrapperRun::writeFile(s.work + "/package.msi", "package");
  const struct {
    QStringList args;
    int status;
  } cases[] = {
      {{}, 2},
      {{"--help"}, 0},
      {{"--out", s.work + "/no-such-folder/setup", "--file", "1:0:package.msi=" + s.work + "/package.msi"},
       1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(run(KVT_PAYLOAD_BUILDER, c.args), c.status) << c.args.join(' ').toStdString();
}

// Whether or not its own parent ignores SIGPIPE, the setup starts the installer
// and the desktop's opener with it at its default, and a failure still tells its status.
TEST_F(UnreadOutputRunTest, TheSetupEndsWithItsOwnStatusAndStartsProgramsWithSigpipeAtItsDefault) {
  BootstrapperRun::writeFile(s.work + "/package.msi", "package");
  BootstrapperRun::writeFile(s.work + "/readme.pdf", "%PDF-1.4");
  const QString installing = s.work + "/installing";
  const QString opening = s.work + "/opening";
  ASSERT_TRUE(s.build(installing, {"--file", "1:0:package.msi=" + s.work + "/package.msi"}));
  ASSERT_TRUE(s.build(opening, {"--file", "1:0:readme.pdf=" + s.work + "/readme.pdf"}));
  const QString opener = TestEnv::freshDir("opener");
  writeRecordingIgnoredSignals(opener + "/xdg-open", s.records + "/xdg-open.sigign");
  s.environment.insert("PATH", opener + ":" + qEnvironmentVariable("PATH"));
  s.addMsiDll(3, 1, 4000, 0);
  const QString installer = s.system + "/msiexec.exe";
  writeRecordingIgnoredSignals(installer, s.records + "/msiexec.sigign");
  const struct {
    QString setup;
    bool ignoring;
    QString record;
  } cases[] = {
      {installing, false, s.records + "/msiexec.sigign"},
      {installing, true, s.records + "/msiexec.sigign"},
      {opening, true, s.records + "/xdg-open.sigign"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup.toStdString() + (c.ignoring ? " ignoring" : ""));
    QFile::remove(c.record);
    EXPECT_EQ(run(c.setup, {}, c.ignoring), 0);
    EXPECT_TRUE(brokenPipeAtDefault(c.record)) << BootstrapperRun::readFile(c.record).toStdString();
  }
  QFile::remove(installer);
  EXPECT_EQ(run(installing, {}), 1);
}
