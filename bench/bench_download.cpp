// Downloads one large file from the loopback HTTP peer with the setup's
// download job, then with the curl program from the same URL, and reports
// MiB/s, CPU seconds and peak resident memory of each side by side.
//
// The machine may be busy with other work: the two take turns for a few rounds
// and the fastest round of each is reported. Downloads land in /dev/shm when it
// exists, so that the disk's write-back does not decide the race.
//
//   bench_download [MiB, default 1024] [rounds, default 3]

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "CDownloadJob.h"
#include "PeerProcess.h"

extern char** environ;

using BenchMeasure::cpuSeconds;
using BenchMeasure::kMiB;

namespace {

struct Run {
  double seconds = 0;
  double cpu = 0;
  double peakMiB = 0;
  bool ok = false;
};

void report(const char* label, const Run& run, qint64 mebibytes) {
  std::printf("%-6s %lld MiB in %.2f s = %.1f MiB/s; CPU %.2f s; peak resident %.1f MiB; %s\n", label,
              static_cast<long long>(mebibytes), run.seconds, mebibytes / run.seconds, run.cpu, run.peakMiB,
              run.ok ? "complete" : "FAILED");
}

Run faster(const Run& best, const Run& run) {
  if (!run.ok) return best.ok ? best : run;
  return best.ok && best.seconds <= run.seconds ? best : run;
}

Run runJob(const QString& url, const QString& folder, qint64 bytes) {
  CDownloadJob job;
  job.setDownloadFolder(folder);
  const double cpuBefore = cpuSeconds(RUSAGE_SELF);
  QElapsedTimer wall;
  wall.start();
  const std::uint32_t code = job.StartDownload(url, QStringLiteral("job.bin"), nullptr, false, true);
  Run run;
  run.seconds = wall.elapsed() / 1000.0;
  run.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
  run.peakMiB = BenchMeasure::peakResidentKiB() / 1024.0;
  run.ok = code == 0 && QFileInfo(folder + "/job.bin").size() == bytes;
  QFile::remove(folder + "/job.bin");
  return run;
}

// The curl program runs under /usr/bin/time, whose own small process starts it:
// a child spawned straight from this large process would inherit its peak.
Run runCurlProgram(const QString& url, const QString& folder, qint64 bytes) {
  const QByteArray target = QFile::encodeName(folder + "/curl.bin");
  const QByteArray peakFile = QFile::encodeName(folder + "/curl.peak");
  const QByteArray address = url.toUtf8();
  const char* arguments[] = {"time",
                             "-f",
                             "%M",
                             "-o",
                             peakFile.constData(),
                             "curl",
                             "-s",
                             "-o",
                             target.constData(),
                             address.constData(),
                             nullptr};
  Run run;
  QElapsedTimer wall;
  wall.start();
  pid_t pid = 0;
  if (posix_spawn(&pid, "/usr/bin/time", nullptr, nullptr, const_cast<char**>(arguments), environ) != 0)
    return run;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.seconds = wall.elapsed() / 1000.0;
  run.cpu =
      usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  QFile peak(QFile::decodeName(peakFile));
  if (peak.open(QIODevice::ReadOnly)) run.peakMiB = peak.readAll().trimmed().toDouble() / 1024.0;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && QFileInfo(folder + "/curl.bin").size() == bytes;
  QFile::remove(folder + "/curl.bin");
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const qint64 mebibytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
  const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
  if (mebibytes <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: bench_download [MiB] [rounds]\n");
    return 2;
  }
  QTemporaryDir served;
  const bool memoryFolder = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
  QTemporaryDir downloads((memoryFolder ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
                          "/bench_download-XXXXXX");
  const qint64 bytes = mebibytes * kMiB;
  QFile big(served.filePath("big.bin"));
  if (!big.open(QIODevice::WriteOnly) || !big.resize(bytes)) return 1;  // sparse: no disk needed
  big.close();

  QProcess peer;
  peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  peer.start(QStringLiteral("python3"),
             {QStringLiteral(KVT_PEERS_DIR "/http_peer.py"), "--root", served.path(), "--limit", "900"});
  const int port = announcedPort(peer);
  if (port == 0) return 1;
  const QString url = QStringLiteral("http://127.0.0.1:%1/files/big.bin").arg(port);

  Run job;
  Run curl;
  for (int round = 0; round < rounds; ++round) {
    curl = faster(curl, runCurlProgram(url, downloads.path(), bytes));
    job = faster(job, runJob(url, downloads.path(), bytes));
  }
  report("job", job, mebibytes);
  report("curl", curl, mebibytes);
  std::printf("job speed / curl speed = %.2f (target at least 0.90); job peak resident under 64 MiB: %s\n",
              curl.seconds / job.seconds, job.peakMiB < 64 ? "yes" : "NO");
  peer.kill();
  peer.waitForFinished(5000);
  return job.ok && curl.ok ? 0 : 1;
}
