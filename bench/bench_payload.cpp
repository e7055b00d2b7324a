// Extracts a payload holding one large entry and verifies the MD5 of the
// payload's image, each side by side with cp and md5sum of the same bytes in
// the same run, and reports the speed ratios and peak resident memory. Then
// runs a built setup program holding many files of 4 KiB as "/extract:<dir>"
// (start-up included) side by side with cp -r of the same files.
// Targets: extraction at least 0.8 of cp's speed, MD5 at least 0.8 of
// md5sum's, peak resident memory under 64 MiB; the many files at least 0.7 of
// cp -r's speed.
//
//   bench_payload [MiB in the entry, default 1024] [files of 4 KiB, default 10000]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "BenchMeasure.h"
#include "BenchSandbox.h"
#include "CPayloadArchive.h"
#include "VerifyFileMd5.h"

using BenchMeasure::kMiB;
using BenchMeasure::peakResidentKiB;

namespace {

constexpr qint64 kSmallFile = 4096;

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

bool run(const QString& program, const QStringList& arguments, bool headless = false) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.setStandardOutputFile(QProcess::nullDevice());
  if (headless) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
  }
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

void report(const char* what, double ours, double theirs, const char* tool, double mebibytes,
            double target = 0.8) {
  std::printf("%-8s %6.2f s = %7.1f MiB/s; %-6s %6.2f s = %7.1f MiB/s; ratio %.2f (target %.2f)\n", what,
              ours, mebibytes / ours, tool, theirs, mebibytes / theirs, theirs / ours, target);
}

// The built setup program holding `count` files, run as "/extract:<dir>", against cp -r of the same files.
bool benchManyFiles(const QString& root, int count) {
  QStringList items{"--stub", KVT_SETUP_PROGRAM, "--out", root + "many-setup"};
  if (!writeSmallFiles(root + "files/", count, items) || !run(KVT_PAYLOAD_BUILDER, items)) {
    std::printf("could not build the setup of many files\n");
    return false;
  }
  bool ok = true;
  const double cp = seconds([&] { return run("cp", {"-r", root + "files", root + "cp-files"}); }, ok);
  const double extract =
      seconds([&] { return run(root + "many-setup", {"/extract:" + root + "extracted-files"}, true); }, ok);
  ok = ok && QDir(root + "extracted-files").entryList(QDir::Files).size() == count;
  report(QByteArray::number(count).append(" files").constData(), extract, cp, "cp -r",
         double(count) * kSmallFile / kMiB, 0.7);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchSandbox sandbox;
  if (!sandbox.isValid()) return 1;
  QCoreApplication app(argc, argv);
  const qint64 mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
  const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
  QTemporaryDir dir(QDir::tempPath() + "/bench_payload_XXXXXX");
  const QString root = dir.path() + "/";
  QFile stub(root + "stub");
  if (!stub.open(QIODevice::WriteOnly) || stub.write(QByteArray(100000, '\x90')) != 100000) return 1;
  stub.close();
  const QString payload = root + "setup.bin";
  if (!writeEntry(root + "entry.bin", mebibytes) ||
      !run(KVT_PAYLOAD_BUILDER, {"--stub", root + "stub", "--out", payload, "--md5", "--file",
                                 "1:0:entry.bin=" + root + "entry.bin"})) {
    std::printf("could not build the payload\n");
    return 1;
  }
  QDir().mkpath(root + "cp");
  QDir().mkpath(root + "extracted");

  bool ok = true;
  const double cp = seconds([&] { return run("cp", {root + "entry.bin", root + "cp/entry.bin"}); }, ok);
  CPayloadArchive archive;
  archive.SetArchivePath(payload);
  archive.SetExtractionFolder(root + "extracted/");
  ok = archive.OpenArchive() == PayloadError::Ok && archive.ReadFileTable() == PayloadError::Ok && ok;
  const double extract = seconds([&] { return archive.ExtractEntry(0, root + "extracted/") == 0; }, ok);

  const QByteArray digest = archive.trailer().md5;
  const double md5sum = seconds([&] { return run("md5sum", {payload}); }, ok);
  const double verify = seconds([&] { return VerifyFileMd5(payload, digest, 76); }, ok);
  archive.CleanupArchive();

  report("extract", extract, cp, "cp", mebibytes);
  report("md5", verify, md5sum, "md5sum", mebibytes);
  ok = benchManyFiles(root, files) && ok;
  std::printf("peak RSS %ld KiB (target under %lld KiB)%s\n", peakResidentKiB(), 64 * kMiB / 1024,
              ok ? "" : "; FAILED");
  return ok ? 0 : 1;
}
