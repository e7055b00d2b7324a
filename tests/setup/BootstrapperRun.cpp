#include "BootstrapperRun.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "TestEnv.h"
#include "VersionBlockWriter.h"

namespace {

// Each run gets folders of its own, also when several tests share a process.
int& runs() {
  static int count = 0;
  return count;
}

QString freshRunDir(const QString& name) {
  return TestEnv::freshDir(QStringLiteral("run%1/").arg(runs()) + name);
}

constexpr int kNoDisk = 125;

bool writeProcFile(const char* path, const char* text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  const bool written = fd >= 0 && ::write(fd, text, std::strlen(text)) == ssize_t(std::strlen(text));
  if (fd >= 0) ::close(fd);
  return written;
}

// In the started child, before it runs the program: a user namespace that maps
// the user to itself (so no privilege is needed, and files keep their owners)
// and a mount namespace in which `folder` is a new tmpfs. Ends the child when
// the machine refuses.
void mountDisk(const QByteArray& folder, BootstrapperRun::DiskKind kind, uid_t uid, gid_t gid) {
  char uidMap[64], gidMap[64];
  std::snprintf(uidMap, sizeof uidMap, "%u %u 1\n", unsigned(uid), unsigned(uid));
  std::snprintf(gidMap, sizeof gidMap, "%u %u 1\n", unsigned(gid), unsigned(gid));
  using Kind = BootstrapperRun::DiskKind;
  const unsigned long flags = kind == Kind::ReadOnly ? MS_RDONLY : kind == Kind::NoPrograms ? MS_NOEXEC : 0;
  // A tmpfs of one inode has no room for a folder or a file: the disk is full.
  const char* options = kind == Kind::Full ? "nr_inodes=1" : nullptr;
  const bool mounted =
      ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && writeProcFile("/proc/self/setgroups", "deny") &&
      writeProcFile("/proc/self/uid_map", uidMap) && writeProcFile("/proc/self/gid_map", gidMap) &&
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
      ::mount("tmpfs", folder.constData(), "tmpfs", flags, options) == 0;
  if (!mounted) ::_exit(kNoDisk);
}

}  // namespace

BootstrapperRun::BootstrapperRun()
    : system(freshRunDir("system")),
      temp(freshRunDir("tmp")),
      records(freshRunDir("records")),
      work(freshRunDir("work")),
      environment(QProcessEnvironment::systemEnvironment()) {
  environment.insert("KVT_SYSTEM_FOLDER", system);
  environment.insert("TMPDIR", temp);
  // Qt keeps its runtime folder here, as in a desktop session: nothing of it lands in TMPDIR.
  const QString runtime = freshRunDir("runtime");
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  environment.insert("XDG_RUNTIME_DIR", runtime);
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("LANG", "C");
  environment.remove("LC_ALL");
  environment.remove("LC_MESSAGES");
  setInstallerExitCode(0);
  ++runs();
}

void BootstrapperRun::addMsiDll(quint16 a, quint16 b, quint16 c, quint16 d) const {
  VersionBlockWriter::writeFile(system + "/msi.dll",
                                VersionBlockWriter::inFile(VersionBlockWriter::block(a, b, c, d)));
}

// A relaunched copy runs the installer after the run that a test waits for has ended: the
// arguments are recorded whole, so a test that finds the record finds all of it.
void BootstrapperRun::setInstallerExitCode(int exitCode) const {
  writeFile(system + "/msiexec.exe",
            "#!/bin/sh\n" + TestEnv::recordWhole("printf '%s\\n' \"$@\"", records + "/msiexec.args") +
                "exit " + QByteArray::number(exitCode) + "\n",
            true);
}

// The waiting scripts give up by themselves after a minute.
void BootstrapperRun::setInstallerWaitingFor(const QString& release, int exitCode) const {
  writeFile(system + "/msiexec.exe",
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/msiexec.args'\n"
                           "echo $(md5sum < \"$2\" | cut -c1-32) $(stat -c %a \"$(dirname \"$2\")\") "
                           ">> '%1/installs'\n"
                           "touch '%1/installing'\n"
                           "n=0; while [ ! -e '%2' ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n + 1)); done\n"
                           "exit %3\n")
                .arg(records, release)
                .arg(exitCode)
                .toUtf8(),
            true);
}

QString BootstrapperRun::waitingScript(const QString& name, const QString& record,
                                       const QString& release) const {
  const QString path = work + "/" + name;
  writeFile(path,
            QStringLiteral("#!/bin/sh\ntouch '%1/%2.started'\n"
                           "n=0; while [ ! -e '%3' ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n + 1)); done\n")
                .arg(records, record, release)
                .toUtf8(),
            true);
  return path;
}

QString BootstrapperRun::recordingScript(const QString& name, const QString& record) const {
  const QString path = work + "/" + name;
  writeFile(path,
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/%2'\n"
                           "cat \"$KVT_REGISTRY_DIR/HKEY_CURRENT_USER.reg\" > '%1/%2.reg' 2>/dev/null\n")
                .arg(records, record)
                .toUtf8(),
            true);
  return path;
}

bool BootstrapperRun::build(const QString& output, const QStringList& items) const {
  QProcess builder;
  if (standardDescriptorsClosed) TestEnv::closeStandardDescriptors(builder);
  builder.start(KVT_PAYLOAD_BUILDER, QStringList{"--out", output} + items);
  return builder.waitForFinished(60000) && builder.exitStatus() == QProcess::NormalExit &&
         builder.exitCode() == 0;
}

bool BootstrapperRun::run(const QString& program, const QStringList& args) {
  const std::unique_ptr<QProcess> setup = start(program, args);
  return finish(*setup);
}

std::unique_ptr<QProcess> BootstrapperRun::start(const QString& program, const QStringList& args) const {
  auto setup = std::make_unique<QProcess>();
  setup->setProcessEnvironment(environment);
  setup->setWorkingDirectory(work);
  std::function<void()> limits;
  if (fileSizeLimit > 0 || descriptorLimit > 0 || !disk.isEmpty()) {
    limits = [size = rlim_t(fileSizeLimit), descriptors = rlim_t(descriptorLimit),
              folder = QFile::encodeName(disk), kind = diskKind, uid = ::getuid(), gid = ::getgid()] {
      if (!folder.isEmpty()) mountDisk(folder, kind, uid, gid);
      if (size > 0) {
        // A write past the limit fails with EFBIG, as on a full disk, instead of ending the program.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{size, size};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      if (descriptors > 0) {
        const rlimit limit{descriptors, descriptors};
        ::setrlimit(RLIMIT_NOFILE, &limit);
      }
    };
  }
  if (standardDescriptorsClosed)
    TestEnv::closeStandardDescriptors(*setup, limits);
  else if (limits)
    setup->setChildProcessModifier(limits);
  setup->start(program, args);
  setup->waitForStarted();
  return setup;
}

bool BootstrapperRun::disksCanBeMounted() {
  const QString folder = TestEnv::freshDir("disk-probe");
  QProcess probe;
  probe.setChildProcessModifier(
      [path = QFile::encodeName(folder)] { mountDisk(path, DiskKind::ReadOnly, ::getuid(), ::getgid()); });
  probe.start("/bin/true", {});
  return probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

bool BootstrapperRun::finish(QProcess& setup) {
  const bool ended = setup.waitForFinished(90000);
  if (!ended) {
    setup.kill();
    setup.waitForFinished();
  }
  exitCode = setup.exitStatus() == QProcess::NormalExit ? setup.exitCode() : -1;
  standardError = QString::fromUtf8(setup.readAllStandardError());
  return ended;
}

QString BootstrapperRun::readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void BootstrapperRun::writeFile(const QString& path, const QByteArray& data, bool executable) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(data);
  file.close();
  if (executable) file.setPermissions(file.permissions() | QFile::ExeOwner);
}

bool BootstrapperRun::waitFor(const QString& path, bool gone) {
  return eventually([&] { return QFileInfo::exists(path) != gone; });
}

bool BootstrapperRun::eventually(const std::function<bool()>& done) {
  const QDeadlineTimer deadline(20000);
  while (!done() && !deadline.hasExpired()) QThread::msleep(20);
  return done();
}

bool BootstrapperRun::runValueRecorded(const QString& record, const QString& program) const {
  return readFile(records + "/" + record + ".reg").contains('"' + program + "\"=");
}

bool BootstrapperRun::runValuePresent(const QString& program) const {
  return readFile(qEnvironmentVariable("KVT_REGISTRY_DIR") + "/HKEY_CURRENT_USER.reg")
      .contains('"' + program + "\"=");
}
