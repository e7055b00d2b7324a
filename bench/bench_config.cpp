// Reads the configuration file of a setup with many prerequisites through the
// setup's own loader (CBootstrapConfig::LoadConfiguration), as it is read
// behind "Preparing...", and reports the time, the reads of the file, CPU
// seconds and peak resident memory for each size.
//
//   bench_config [prerequisites of the largest file, default 5000]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "CBootstrapConfig.h"
#include "PrivateProfile.h"

namespace {

// A file as a payload builder writes it: general options, the list, and one
// section with every key for each prerequisite.
QByteArray configuration(int prerequisites) {
  QByteArray text =
      "[GeneralOptions]\r\nOptions=q\r\nMainAppCmdLine=/qb\r\nDownloadFolder=[TempFolder]dl\r\n"
      "KeepFiles=minimum\r\n[PREREQUISITES]\r\n";
  for (int n = 1; n <= prerequisites; ++n)
    text += "App" + QByteArray::number(n) + "=Runtime library " + QByteArray::number(n) + "\r\n";
  for (int n = 1; n <= prerequisites; ++n) {
    const QByteArray number = QByteArray::number(n);
    text +=
        "[App" + number + "]\r\nTargetOS=2\r\nUrl=http://downloads.example.com/runtime" + number +
        ".exe\r\nExactSize=1048576\r\nMD5=0123456789abcdef0123456789abcdef\r\nCommandLine=/q /norestart\r\n"
        "Options=m\r\nFolder=runtimes\r\nSearchType=0\r\nVerMin=1.0\r\nVerMax=\r\n"
        "SearchString=[SystemFolder]runtime" +
        number + ".dll\r\n";
  }
  return text;
}

struct Result {
  qint64 milliseconds = 0;
  int reads = 0;
  bool complete = false;
};

Result load(const QString& path, int prerequisites) {
  const int readsBefore = PrivateProfile::readCount();
  QElapsedTimer clock;
  clock.start();
  CBootstrapConfig config;
  config.LoadConfiguration(path);
  Result result;
  result.milliseconds = clock.elapsed();
  result.reads = PrivateProfile::readCount() - readsBefore;
  result.complete =
      config.prerequisites.size() == prerequisites &&
      config.prerequisites.last().searchString.endsWith(QStringLiteral("%1.dll").arg(prerequisites));
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const int largest = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
  QTemporaryDir folder;
  if (!folder.isValid() || largest <= 0) return 1;
  bool ok = true;
  Result last;
  for (const int count : {largest / 10, largest * 2 / 5, largest}) {
    if (count <= 0) continue;
    const QString path = folder.filePath(QStringLiteral("setup-%1.ini").arg(count));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(configuration(count)) < 0) return 1;
    file.close();
    last = load(path, count);
    ok = ok && last.complete;
    std::printf("%5d prerequisites (%.1f MiB): read in %lld ms, the file read %d time(s); %s\n", count,
                double(file.size()) / BenchMeasure::kMiB, static_cast<long long>(last.milliseconds),
                last.reads, last.complete ? "complete" : "INCOMPLETE");
  }
  std::printf("%d prerequisites under a second: %s; cpu %.2f s, peak resident %.1f MiB\n", largest,
              last.milliseconds < 1000 ? "yes" : "NO", BenchMeasure::cpuSeconds(),
              BenchMeasure::peakResidentKiB() / 1024.0);
  return ok ? 0 : 1;
}
