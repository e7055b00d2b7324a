#include "DownloadPeer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "PeerProcess.h"
#include "TestEnv.h"

DownloadPeer::DownloadPeer(const QString& script, const QStringList& arguments) {
  const QString peers = QDir(TestEnv::dataPath("../peers")).absolutePath();
  // Debian's interpreter, which has pyftpdlib, before any other on the path.
  const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_process.start(python, QStringList{peers + "/" + script, "--limit", "90"} + arguments);
  m_port = announcedPort(m_process);
}

DownloadPeer::~DownloadPeer() {
  m_process.kill();
  m_process.waitForFinished(5000);
}

DownloadPeer* DownloadPeer::http(const QString& root, const QStringList& more) {
  return new DownloadPeer("http_peer.py", QStringList{"--root", root} + more);
}

QString DownloadPeer::url(const QString& scheme, const QString& path) const {
  return QStringLiteral("%1://127.0.0.1:%2/%3").arg(scheme).arg(m_port).arg(path);
}

namespace DownloadFixture {

QByteArray content(int size, quint32 seed) {
  QRandomGenerator random(seed);
  QByteArray data(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) data[i] = char(random.generate());
  return data;
}

void writeFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(data);
}

QByteArray readFile(const QString& path) { return TestEnv::readFile(path); }

namespace {

bool openssl(const QString& folder, const QStringList& arguments) {
  QProcess process;
  process.setWorkingDirectory(folder);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start("openssl", arguments);
  return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

}  // namespace

bool makeCertificates(const QString& folder, const QString& subjectAltName) {
  QDir().mkpath(folder);
  writeFile(folder + "/server.ext",
            QStringLiteral("basicConstraints=CA:FALSE\nsubjectAltName=%1\n").arg(subjectAltName).toLatin1());
  const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  return openssl(folder,
                 QStringList{"req", "-x509"} + key +
                     QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                                 "/CN=KVT Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
                                 "-addext", "keyUsage=critical,keyCertSign,cRLSign"}) &&
         openssl(folder,
                 QStringList{"req"} + key +
                     QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=KVT peer"}) &&
         openssl(folder, {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                          "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"});
}

}  // namespace DownloadFixture

void RecordingObserver::record(const QString& call) {
  std::lock_guard lock(m_lock);
  m_calls << call;
}

QStringList RecordingObserver::calls() const {
  std::lock_guard lock(m_lock);
  return m_calls;
}

void RecordingObserver::started(qint64 totalSize, const QString& targetPath) {
  record(QStringLiteral("started %1 %2").arg(totalSize).arg(QFileInfo(targetPath).fileName()));
}

void RecordingObserver::finished() { record("finished"); }

void RecordingObserver::status(int code) { record(QStringLiteral("status %1").arg(code)); }

void RecordingObserver::progress(qint64 bytes) {
  m_progressSum += bytes;
  record(QStringLiteral("progress %1").arg(bytes));
}

bool RecordingObserver::isCancelled() { return cancel || (cancelAfter >= 0 && m_progressSum > cancelAfter); }

void RecordingObserver::error(int reserved, std::uint32_t code) {
  record(QStringLiteral("error %1 %2").arg(reserved).arg(code, 0, 16));
}
