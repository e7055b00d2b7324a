#include "PJLTestSupport.h"

#include <QDir>
#include <QFile>

#include "TestEnv.h"
#include "modLumasetCommon.h"
#include "modPJLOpts.h"

namespace PJLTest {

QString fixtureFolder() { return TestEnv::dataPath(QStringLiteral("pjl")); }

QString shippedFolder() { return TestEnv::supportDir(); }

void loadFixture() {
  modPJLOpts::setSupportFolder(fixtureFolder());
  modPJLOpts::Initialise(true);
}

void loadDefinitions(const QByteArray& content) {
  static int serial = 0;
  const QString folder = TestEnv::freshDir(QStringLiteral("defs%1").arg(++serial));
  QFile file(folder + "/pjl.xml");
  file.open(QIODevice::WriteOnly);
  file.write(content);
  file.close();
  modPJLOpts::setSupportFolder(folder);
  modPJLOpts::Initialise(true);
}

void startLog() {
  gLogFile = TestEnv::sandbox() + "/pjl.log";
  QFile::remove(gLogFile);
  gLogging = true;
}

// Each line without its time stamp ("dd:MM:yy HH:mm:ss: ").
QStringList logLines() {
  QFile file(gLogFile);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    const QString line = QString::fromLatin1(raw).remove('\r');
    if (!line.isEmpty()) lines.append(line.mid(19));
  }
  return lines;
}

}  // namespace PJLTest
