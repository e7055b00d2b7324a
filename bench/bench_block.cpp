// Builds a compressed block from a few files with KVTpayload, compresses the
// same files as one stream with xz -T0, and reports the speed of each side by
// side. Target: the builder at least 0.8 of xz's speed. Half of the files are
// text that compresses well, half bytes that do not, as in an installer's
// files. xz cuts its stream into blocks of 24 MiB, one a thread: 192 MiB keep
// eight cores busy.
//
// The machine may be busy with other work: with more rounds the two take turns
// and the fastest round of each is reported. Files live in /dev/shm when it
// exists, so that the disk does not decide the race.
//
//   bench_block [MiB in all, a fraction allowed, default 192] [rounds, default 1]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

#include "BenchMeasure.h"
#include "BenchSandbox.h"

using BenchMeasure::cpuSeconds;
using BenchMeasure::kMiB;

namespace {

constexpr int kFiles = 4;

struct Run {
  double seconds = 0;
  double cpu = 0;
  qint64 bytes = 0;
  bool ok = false;
};

quint64 next(quint64& state) {
  state ^= state << 13, state ^= state >> 7, state ^= state << 17;
  return state;
}

// Words from a small vocabulary, or bytes that do not repeat.
bool writeFile(const QString& path, qint64 bytes, bool text, quint64 seed) {
  static const char* const kWords[] = {"setup ", "printer ", "the ", "job ",  "paper ", "size ", "of ",
                                       "tray ",  "media ",   "and ", "roll ", "plot ",  "copy ", "%d\n"};
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QByteArray block;
  quint64 state = seed;
  for (qint64 left = bytes; left > 0; left -= block.size()) {
    block.clear();
    while (block.size() < kMiB) {
      const quint64 r = next(state);
      if (text) {
        const char* word = kWords[r % std::size(kWords)];
        block += word[0] == '%' ? QByteArray::number(r >> 40) + '\n' : QByteArray(word);
      } else {
        block.append(reinterpret_cast<const char*>(&r), sizeof r);
      }
    }
    block.truncate(std::min(kMiB, left));
    if (file.write(block) != block.size()) return false;
  }
  return true;
}

Run timed(const QString& program, const QStringList& arguments, const QString& output,
          const QString& result) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output);
  const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
  QElapsedTimer wall;
  wall.start();
  process.start(program, arguments);
  Run run;
  run.ok =
      process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  run.seconds = wall.nsecsElapsed() / 1e9;
  run.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
  run.bytes = QFileInfo(result).size();
  QFile::remove(result);
  return run;
}

Run faster(const Run& best, const Run& run) {
  if (!run.ok) return best.ok ? best : run;
  return best.ok && best.seconds <= run.seconds ? best : run;
}

void report(const char* label, const Run& run, double mebibytes) {
  std::printf("%-10s %g MiB in %6.2f s = %6.1f MiB/s; CPU %6.2f s; %.1f MiB out; %s\n", label, mebibytes,
              run.seconds, mebibytes / run.seconds, run.cpu, double(run.bytes) / kMiB,
              run.ok ? "complete" : "FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const double mebibytes = argc > 1 ? QByteArray(argv[1]).toDouble() : 192;
  const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 1;
  const qint64 fileBytes = static_cast<qint64>(mebibytes * kMiB) / kFiles;
  if (fileBytes <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: bench_block [MiB, a fraction allowed] [rounds]\n");
    return 2;
  }
  const bool memoryFolder = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
  QTemporaryDir dir((memoryFolder ? QStringLiteral("/dev/shm") : QDir::tempPath()) + "/bench_block-XXXXXX");
  const QString root = dir.path() + "/";
  QFile stub(root + "stub");
  if (!stub.open(QIODevice::WriteOnly) || stub.write(QByteArray(100000, '\x90')) != 100000) return 1;
  stub.close();
  QStringList members;
  QStringList files;
  for (int i = 0; i < kFiles; ++i) {
    const QString path = root + QStringLiteral("file%1.bin").arg(i);
    if (!writeFile(path, fileBytes, i % 2 == 0, 0x9E3779B97F4A7C15ull + i)) return 1;
    members << "--member" << QFileInfo(path).fileName() + "=" + path;
    files << path;
  }
  const QStringList build =
      QStringList{"--stub", root + "stub", "--out", root + "setup.bin", "--compressed"} +
      QStringList{"--file", "2:7:KVTdecompress.so=" KVT_DECOMPRESSOR, "--block", "2:pkg\\app.lzma"} + members;

  Run ours;
  Run xz;
  for (int round = 0; round < rounds; ++round) {
    xz = faster(xz, timed("sh", QStringList{"-c", "cat \"$@\" | xz -T0 -c", "sh"} + files, root + "files.xz",
                          root + "files.xz"));
    ours = faster(ours, timed(KVT_PAYLOAD_BUILDER, build, {}, root + "setup.bin"));
  }
  std::printf("%d cores\n", QThread::idealThreadCount());
  report("KVTpayload", ours, mebibytes);
  report("xz -T0", xz, mebibytes);
  std::printf("KVTpayload speed / xz -T0 speed = %.2f (target at least 0.80)\n", xz.seconds / ours.seconds);
  return ours.ok && xz.ok ? 0 : 1;
}
