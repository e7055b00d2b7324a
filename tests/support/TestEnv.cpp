#include "TestEnv.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

#include "FileStamp.h"
#include "FolderWalk.h"
#include "TreeRemoval.h"

namespace {

// The sandbox goes at the end however deep its trees and whatever bytes their names hold, which
// QTemporaryDir's own removal, by paths of text, cannot take.
class Sandbox {
 public:
  Sandbox() : m_dir(QDir::tempPath() + "/kvt-test-XXXXXX") { m_dir.setAutoRemove(false); }
  ~Sandbox() {
    const QFileInfo sandbox(m_dir.path());
    FolderWalk parent(UniqueFd(::open(QFile::encodeName(sandbox.path()).constData(),
                                      O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    TreeRemoval::removeTree(parent, {}, QFile::encodeName(sandbox.fileName()).toStdString());
  }
  QString path() const { return m_dir.path(); }

 private:
  QTemporaryDir m_dir;
};

std::unique_ptr<Sandbox>& sandboxDir() {
  static std::unique_ptr<Sandbox> dir;
  return dir;
}

void setEnv(const char* name, const QString& value) {
  ::setenv(name, QFile::encodeName(value).constData(), 1);
}

}  // namespace

namespace TestEnv {

void setUp() {
  sandboxDir() = std::make_unique<Sandbox>();
  const QString root = sandboxDir()->path();
  QDir(root).mkpath("registry");
  QDir(root).mkpath("config");
  QDir(root).mkpath("home");
  QDir(root).mkpath("temp");
  setEnv("KVT_REGISTRY_DIR", root + "/registry");
  setEnv("XDG_CONFIG_HOME", root + "/config");
  setEnv("HOME", root + "/home");
  setEnv("TEMP", root + "/temp");
  setEnv("TMPDIR", root + "/temp");
  setEnv("XDG_DATA_HOME", root + "/home/.local/share");
  setEnv("XDG_CACHE_HOME", root + "/home/.cache");
  setEnv("KVT_SUPPORT_DIR", QStringLiteral(KVT_BUILD_SUPPORT_DIR));
  setEnv("KVT_TEST_DATA", QStringLiteral(KVT_TEST_DATA_DIR));
}

QString sandbox() { return sandboxDir()->path(); }

QString freshDir(const QString& name) {
  QDir root(sandbox());
  root.mkpath(name);
  return root.filePath(name);
}

QString dataPath(const QString& relative) {
  return QDir(qEnvironmentVariable("KVT_TEST_DATA")).filePath(relative);
}

QString supportDir() { return qEnvironmentVariable("KVT_SUPPORT_DIR"); }

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    ADD_FAILURE() << "cannot write " << path.toStdString();
}

void rewriteKeepingTimes(const QString& path, const QByteArray& bytes) {
  const QByteArray native = QFile::encodeName(path);
  struct stat before {};
  if (::stat(native.constData(), &before) != 0) ADD_FAILURE() << "no file " << path.toStdString();
  writeFile(path, bytes);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  if (::utimensat(AT_FDCWD, native.constData(), times, 0) != 0)
    ADD_FAILURE() << "cannot put the times of " << path.toStdString() << " back";
}

void waitPastLastChange(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0)
    ADD_FAILURE() << "no file " << path.toStdString();
  while (mayHideAChange(stampOf(st), fileClockNow()))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

QByteArray recordWhole(const QByteArray& command, const QString& path) {
  QByteArray quoted = QFile::encodeName(path);
  quoted.replace('\'', "'\\''");
  const QByteArray target = '\'' + quoted + '\'';
  return "{ " + command + "; } > " + target + ".tmp; mv -f " + target + ".tmp " + target + "\n";
}

void makeFifo(const QString& path) {
  if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
    ADD_FAILURE() << "cannot make the FIFO " << path.toStdString();
}

void startSelf(QProcess& process, const QString& test, const QList<QPair<QString, QString>>& variables) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : variables) env.insert(name, value);
  process.setProcessEnvironment(env);
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=" + test});
}

void closeStandardDescriptors(QProcess& process, const std::function<void()>& more) {
  process.setChildProcessModifier([more] {
    if (more) more();
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) ::close(fd);
  });
}

void writeOutputIntoUnreadPipe(QProcess& process, const std::function<void()>& more) {
  process.setChildProcessModifier([more] {
    ::signal(SIGPIPE, SIG_DFL);
    if (more) more();
    int ends[2];
    if (::pipe(ends) != 0) ::_exit(127);
    ::close(ends[0]);
    ::dup2(ends[1], STDOUT_FILENO);
    ::dup2(ends[1], STDERR_FILENO);
    ::close(ends[1]);
  });
}

}  // namespace TestEnv
