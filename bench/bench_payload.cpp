// Runs built setup programs as "/extract:<dir>", start-up included, as a user
// does: one holding a single large entry against cp of the same file, and one
// holding many files of 4 KiB against cp -r of the same files; and verifies
// the MD5 of the large setup's image against md5sum. Everything lies on a
// tmpfs when the machine has one (/dev/shm), so that the disk's write-back
// does not decide. Each copy runs in pairs of runs, interleaved and taking
// turns to go first, so that a busy machine weighs on both alike; the median
// pair counts.
// Targets: the large entry at least 1.0 of cp's speed, the many files at least
// 0.9 of cp -r's, MD5 at least 0.8 of md5sum's; the setup's peak resident
// memory under 64 MiB.
//
//   bench_payload [MiB in the entry, default 1024] [files of 4 KiB, default 10000] [pairs, default 20]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "PayloadFormat.h"
#include "VerifyFileMd5.h"

extern char** environ;

using BenchMeasure::kMiB;

namespace {

constexpr qint64 kSmallFile = 4096;
constexpr long kTmpfsMagic = 0x01021994;

// Bytes that do not repeat, so nothing along the way can shortcut them.
void fill(QByteArray& block, quint64& state) {
  auto* words = reinterpret_cast<quint64*>(block.data());
  for (qsizetype i = 0; i < block.size() / 8; ++i) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    words[i] = state;
  }
}

bool writeEntry(const QString& path, qint64 mebibytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QByteArray block(kMiB, Qt::Uninitialized);
  quint64 state = 0x9E3779B97F4A7C15ull;
  for (qint64 m = 0; m < mebibytes; ++m) {
    fill(block, state);
    if (file.write(block) != block.size()) return false;
  }
  return true;
}

// `count` files of 4 KiB in `folder`; the builder's arguments that store each under its own name.
bool writeSmallFiles(const QString& folder, int count, QStringList& items) {
  if (!QDir().mkpath(folder)) return false;
  QByteArray block(kSmallFile, Qt::Uninitialized);
  quint64 state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < count; ++i) {
    const QString name = QStringLiteral("f%1.bin").arg(i, 5, 10, QChar('0'));
    QFile file(folder + name);
    fill(block, state);
    if (!file.open(QIODevice::WriteOnly) || file.write(block) != block.size()) return false;
    items << "--file"
          << "1:4:" + name + "=" + file.fileName();
  }
  return true;
}

// One finished run of a program: how long it took and its peak resident memory.
struct Run {
  bool ok = false;
  double seconds = 0;
  long peakKiB = 0;
};

// Runs `program` headless to its end, its output dropped; waited for on its own, so that
// its resources are its alone.
Run run(const QString& program, const QStringList& arguments) {
  std::vector<QByteArray> storage{QFile::encodeName(program)};
  for (const QString& argument : arguments) storage.push_back(QFile::encodeName(argument));
  std::vector<char*> argv;
  for (QByteArray& item : storage) argv.push_back(item.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  QElapsedTimer wall;
  wall.start();
  pid_t pid = 0;
  Run result;
  if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result = {WIFEXITED(status) && WEXITSTATUS(status) == 0, wall.nsecsElapsed() / 1e9, usage.ru_maxrss};
  }
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A folder of the bench's own on a tmpfs, else in the temporary folder.
QString benchFolder() {
  struct statfs info {};
  const bool tmpfs = ::statfs("/dev/shm", &info) == 0 && info.f_type == kTmpfsMagic;
  return (tmpfs ? QStringLiteral("/dev/shm") : QDir::tempPath()) + "/bench_payload_XXXXXX";
}

// The setup `setup` extracting into `target` against cp -r making the same copy of `source`
// there, in `pairs` interleaved pairs; `count` files must land. False when a run failed.
bool comparePairs(const QString& what, const QString& setup, const QString& source, const QString& target,
                  qsizetype count, double mebibytes, int pairs, double targetRatio, long& peakKiB) {
  bool ok = true;
  std::vector<double> setupTimes, copyTimes, ratios;
  for (int pair = 0; pair < pairs; ++pair) {
    double setupTime = 0, copyTime = 0;
    for (int turn = 0; turn < 2; ++turn) {
      QDir(target).removeRecursively();
      if ((turn == 0) == (pair % 2 == 0)) {
        const Run copy = run("cp", {"-r", source, target});
        ok = ok && copy.ok;
        copyTime = copy.seconds;
      } else {
        const Run extract = run(setup, {"/extract:" + target});
        ok = ok && extract.ok && QDir(target).entryList(QDir::Files).size() == count;
        setupTime = extract.seconds;
        peakKiB = std::max(peakKiB, extract.peakKiB);
      }
    }
    setupTimes.push_back(setupTime);
    copyTimes.push_back(copyTime);
    ratios.push_back(copyTime / setupTime);
  }
  QDir(target).removeRecursively();
  std::printf(
      "%s, median of %d interleaved pairs: setup %.3f s = %.1f MiB/s; cp -r %.3f s = %.1f MiB/s; "
      "ratio %.2f (pairs %.2f to %.2f; target %.2f)\n",
      qPrintable(what), pairs, median(setupTimes), mebibytes / median(setupTimes), median(copyTimes),
      mebibytes / median(copyTimes), median(ratios), *std::min_element(ratios.begin(), ratios.end()),
      *std::max_element(ratios.begin(), ratios.end()), targetRatio);
  return ok;
}

bool verifyAgainstMd5sum(const QString& setup, double mebibytes) {
  QFile file(setup);
  if (!file.open(QIODevice::ReadOnly) ||
      !file.seek(file.size() - PayloadFormat::kTrailerSize + PayloadFormat::kMd5Offset))
    return false;
  const QByteArray digest = file.read(PayloadFormat::kMd5Length);
  const Run md5sum = run("md5sum", {setup});
  QElapsedTimer wall;
  wall.start();
  const bool ok = VerifyFileMd5(setup, digest, PayloadFormat::kTrailerSize) && md5sum.ok;
  const double verify = wall.nsecsElapsed() / 1e9;
  std::printf("md5 %.3f s = %.1f MiB/s; md5sum %.3f s = %.1f MiB/s; ratio %.2f (target 0.80)\n", verify,
              mebibytes / verify, md5sum.seconds, mebibytes / md5sum.seconds, md5sum.seconds / verify);
  return ok;
}

bool benchLargeEntry(const QString& root, qint64 mebibytes, int pairs, long& peakKiB) {
  const QString setup = root + "large-setup";
  if (!QDir().mkpath(root + "entry") || !writeEntry(root + "entry/entry.bin", mebibytes) ||
      !run(KVT_PAYLOAD_BUILDER, {"--stub", KVT_SETUP_PROGRAM, "--out", setup, "--md5", "--file",
                                 "1:4:entry.bin=" + root + "entry/entry.bin"})
           .ok) {
    std::printf("could not build the setup of one large entry\n");
    return false;
  }
  const bool ok = comparePairs("1 large entry", setup, root + "entry", root + "copied", 1, double(mebibytes),
                               pairs, 1.0, peakKiB);
  return verifyAgainstMd5sum(setup, double(mebibytes)) && ok;
}

bool benchManyFiles(const QString& root, int count, int pairs, long& peakKiB) {
  const QString setup = root + "many-setup";
  QStringList items{"--stub", KVT_SETUP_PROGRAM, "--out", setup};
  if (!writeSmallFiles(root + "files/", count, items) || !run(KVT_PAYLOAD_BUILDER, items).ok) {
    std::printf("could not build the setup of many files\n");
    return false;
  }
  return comparePairs(QString::number(count) + " files", setup, root + "files", root + "copied", count,
                      double(count) * kSmallFile / kMiB, pairs, 0.9, peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  // The setups run headless, with a runtime folder of their own, as in a desktop session.
  const QTemporaryDir runtime;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  const qint64 mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
  const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int pairs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
  long peakKiB = 0;
  bool ok = true;
  // One part's files at a time: a tmpfs holds them in memory.
  {
    const QTemporaryDir large(benchFolder());
    ok = benchLargeEntry(large.path() + "/", mebibytes, pairs, peakKiB);
  }
  {
    const QTemporaryDir many(benchFolder());
    ok = benchManyFiles(many.path() + "/", files, pairs, peakKiB) && ok;
  }
  std::printf("setup's peak RSS %ld KiB (target under %lld KiB)%s\n", peakKiB, 64 * kMiB / 1024,
              ok ? "" : "; FAILED");
  return ok ? 0 : 1;
}
