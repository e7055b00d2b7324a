#include "PayloadTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>
#include <cstdlib>

#include "TestEnv.h"

void PayloadTest::SetUp() {
  const QString temp = TestEnv::sandbox() + "/temp";
  QDir().mkpath(temp);
  ::setenv("TMPDIR", QFile::encodeName(temp).constData(), 1);
  m_work = TestEnv::freshDir("work");
  QByteArray image(6000, '\x90');
  image.replace(100, 7,
                "\x7f"
                "ELF\2\1\1");
  m_stub = source("stub", image);
}

bool PayloadTest::build(const QString& out, const QStringList& arguments, const QString& stub) const {
  QProcess builder;
  builder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const QString image = stub.isEmpty() ? m_stub : stub;
  builder.start(QStringLiteral(KVT_PAYLOAD_BUILDER), QStringList{"--stub", image, "--out", out} + arguments);
  return builder.waitForFinished(60000) && builder.exitStatus() == QProcess::NormalExit &&
         builder.exitCode() == 0;
}

PayloadBuilder PayloadTest::hostileBuilder() const {
  PayloadBuilder builder;
  builder.setStub(m_stub);
  builder.allowRefusedNames();
  return builder;
}

QString PayloadTest::decompressorPath() { return QStringLiteral(KVT_DECOMPRESSOR); }

int PayloadTest::openInto(CPayloadArchive& archive, const QString& payload, const QString& folder) {
  archive.SetArchivePath(payload);
  archive.SetExtractionFolder(folder);
  const int opened = archive.OpenArchive();
  return opened != PayloadError::Ok ? opened : archive.ReadFileTable();
}

int PayloadTest::prepare(CPayloadArchive& archive, const QString& payload, const QString& folder) {
  const int result = openInto(archive, payload, folder);
  return result != PayloadError::Ok ? result : archive.ExtractGroup();
}

QString PayloadTest::source(const QString& name, const QByteArray& bytes) const {
  const QString path = m_work + "/" + name;
  QDir().mkpath(QFileInfo(path).path());
  writeFile(path, bytes);
  return path;
}

QString PayloadTest::folder(const QString& name) const {
  const QString path = TestEnv::sandbox() + "/" + name + "/";
  QDir().mkpath(path);
  return path;
}

QByteArray PayloadTest::readFile(const QString& path) { return TestEnv::readFile(path); }

void PayloadTest::writeFile(const QString& path, const QByteArray& bytes) { TestEnv::writeFile(path, bytes); }

void PayloadTest::patchU32(const QString& path, qint64 offset, quint32 value) {
  QByteArray bytes = readFile(path);
  ASSERT_LE(offset + 4, bytes.size());
  qToLittleEndian(value, bytes.data() + offset);
  writeFile(path, bytes);
}

QStringList PayloadTest::tree(const QString& folder) {
  QStringList found;
  QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    if (!it.fileInfo().isDir() || it.fileInfo().isSymLink())
      found << QDir(folder).relativeFilePath(it.filePath());
  }
  found.sort();
  return found;
}
