#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {
QString& scratchFolder() {
  static QString folder;
  return folder;
}

// A run that ends normally leaves nothing behind; a crash keeps the folder to look into.
void removeScratch() { QDir(scratchFolder()).removeRecursively(); }
}  // namespace

void setUp() {
  char pattern[] = "/tmp/kvt-fuzz-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (!made) fail("no scratch folder");
  scratchFolder() = QString::fromLocal8Bit(made);
  std::atexit(removeScratch);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("KVT_REGISTRY_DIR", made, 1);
  ::setenv("HOME", made, 1);
  ::setenv("TMPDIR", made, 1);
  ::setenv("XDG_CONFIG_HOME", made, 1);
  static int argc = 1;
  static char name[] = "kvt-fuzz";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);
}

QString scratch() { return scratchFolder(); }

QString writeScratch(const QString& name, const QByteArray& bytes) {
  const QString path = scratchFolder() + QLatin1Char('/') + name;
  QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    fail("scratch file not written");
  return path;
}

QString supportFolder() { return QStringLiteral(KVT_FUZZ_SUPPORT_DIR); }

QByteArray bytesOf(const uint8_t* data, size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace FuzzSupport
