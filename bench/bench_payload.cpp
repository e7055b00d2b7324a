// Extracts a payload holding one large entry against cp of the same file, and
// verifies the MD5 of the payload's image against md5sum of it; then runs a
// built setup program holding many files of 4 KiB as "/extract:<dir>"
// (start-up included) against cp -r of the same files. Everything lies on a
// tmpfs when the machine has one (/dev/shm), so that the disk's write-back
// does not decide. Each copy runs in pairs, interleaved and taking turns to go
// first, so that a busy machine weighs on both alike; the median pair counts.
// Targets: the large entry at least 1.0 of cp's speed, the many files at least
// 0.9 of cp -r's, MD5 at least 0.8 of md5sum's, peak resident memory under 64 MiB.
//
//   bench_payload [MiB in the entry, default 1024] [files of 4 KiB, default 10000] [pairs, default 20]

#include <sys/vfs.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "CPayloadArchive.h"
#include "VerifyFileMd5.h"

using BenchMeasure::kMiB;
using BenchMeasure::peakResidentKiB;

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

bool run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(program, arguments);
  return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

double seconds(const std::function<bool()>& work, bool& ok) {
  QElapsedTimer wall;
  wall.start();
  ok = work() && ok;
  return wall.nsecsElapsed() / 1e9;
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

// `ours` against the copy `theirs` makes of the same bytes into `target`, in `pairs`
// interleaved pairs; `target` goes before each run. False when a run failed.
bool comparePairs(const QString& what, const char* tool, double mebibytes, int pairs, double targetRatio,
                  const QString& target, const std::function<bool()>& ours,
                  const std::function<bool()>& theirs) {
  bool ok = true;
  std::vector<double> ourTimes, theirTimes, ratios;
  for (int pair = 0; pair < pairs; ++pair) {
    double mine = 0, other = 0;
    for (int turn = 0; turn < 2; ++turn) {
      QDir(target).removeRecursively();
      if ((turn == 0) == (pair % 2 == 0))
        other = seconds(theirs, ok);
      else
        mine = seconds(ours, ok);
    }
    ourTimes.push_back(mine);
    theirTimes.push_back(other);
    ratios.push_back(other / mine);
  }
  QDir(target).removeRecursively();
  std::printf(
      "%s, median of %d interleaved pairs: setup %.3f s = %.1f MiB/s; %s %.3f s = %.1f MiB/s; "
      "ratio %.2f (pairs %.2f to %.2f; target %.2f)\n",
      qPrintable(what), pairs, median(ourTimes), mebibytes / median(ourTimes), tool, median(theirTimes),
      mebibytes / median(theirTimes), median(ratios), *std::min_element(ratios.begin(), ratios.end()),
      *std::max_element(ratios.begin(), ratios.end()), targetRatio);
  return ok;
}

// The payload's one entry extracted in this process, against cp of the same file.
bool benchLargeEntry(const QString& root, qint64 mebibytes, int pairs) {
  QFile stub(root + "stub");
  if (!stub.open(QIODevice::WriteOnly) || stub.write(QByteArray(100000, '\x90')) != 100000) return false;
  stub.close();
  const QString payload = root + "setup.bin";
  if (!writeEntry(root + "entry.bin", mebibytes) ||
      !run(KVT_PAYLOAD_BUILDER, {"--stub", root + "stub", "--out", payload, "--md5", "--file",
                                 "1:0:entry.bin=" + root + "entry.bin"})) {
    std::printf("could not build the payload\n");
    return false;
  }
  const QString target = root + "extracted/";
  const auto extract = [&] {
    CPayloadArchive archive;
    archive.SetArchivePath(payload);
    archive.SetExtractionFolder(target);
    return archive.OpenArchive() == PayloadError::Ok && archive.ReadFileTable() == PayloadError::Ok &&
           archive.ExtractEntry(0, target) == PayloadError::Ok;
  };
  const auto copy = [&] {
    return QDir().mkpath(target) && run("cp", {root + "entry.bin", target + "entry.bin"});
  };
  bool ok = comparePairs("1 large entry", "cp", double(mebibytes), pairs, 1.0, target, extract, copy);

  CPayloadArchive archive;
  archive.SetArchivePath(payload);
  ok = archive.OpenArchive() == PayloadError::Ok && ok;
  const QByteArray digest = archive.trailer().md5;
  archive.CleanupArchive();
  const double md5sum = seconds([&] { return run("md5sum", {payload}); }, ok);
  const double verify = seconds([&] { return VerifyFileMd5(payload, digest, 76); }, ok);
  std::printf("md5 %.3f s = %.1f MiB/s; md5sum %.3f s = %.1f MiB/s; ratio %.2f (target 0.80)\n", verify,
              double(mebibytes) / verify, md5sum, double(mebibytes) / md5sum, md5sum / verify);
  return ok;
}

// The built setup program holding `count` files, run as "/extract:<dir>", against cp -r of the same files.
bool benchManyFiles(const QString& root, int count, int pairs) {
  const QString setup = root + "many-setup";
  QStringList items{"--stub", KVT_SETUP_PROGRAM, "--out", setup};
  if (!writeSmallFiles(root + "files/", count, items) || !run(KVT_PAYLOAD_BUILDER, items)) {
    std::printf("could not build the setup of many files\n");
    return false;
  }
  const QString target = root + "copied";
  const auto extract = [&] {
    return run(setup, {"/extract:" + target}) && QDir(target).entryList(QDir::Files).size() == count;
  };
  const auto copy = [&] { return run("cp", {"-r", root + "files", target}); };
  return comparePairs(QString::number(count) + " files", "cp -r", double(count) * kSmallFile / kMiB, pairs,
                      0.9, target, extract, copy);
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  // The setups run headless, with a runtime folder of their own, as in a desktop session.
  const QTemporaryDir runtime;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  QCoreApplication app(argc, argv);
  const qint64 mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
  const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int pairs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
  bool ok = true;
  // One part's files at a time: a tmpfs holds them in memory.
  {
    const QTemporaryDir large(benchFolder());
    ok = benchLargeEntry(large.path() + "/", mebibytes, pairs);
  }
  {
    const QTemporaryDir many(benchFolder());
    ok = benchManyFiles(many.path() + "/", files, pairs) && ok;
  }
  std::printf("peak RSS %ld KiB (target under %lld KiB)%s\n", peakResidentKiB(), 64 * kMiB / 1024,
              ok ? "" : "; FAILED");
  return ok ? 0 : 1;
}
