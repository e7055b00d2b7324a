#include "modLumasetCommon.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cmath>
#include <limits>

#include "Ansi.h"
#include "frmDebug.h"
#include "modFileSystem.h"

#include "Ansi.h"
#include "frmDebug.h"
#include "modFileSystem.h"

QString gTempDir;
QString gRegRoot;
bool gLogging = false;
QString gLogFile;

namespace {

const QString kFileDescription = QStringLiteral("Vondir Submit");
const QString kProductName = QStringLiteral("Pelva Skyplain Vondir Dravmit");

std::function<QDateTime()>& logClock() {
  static std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
  return clock;
}

void appendToLogFile(const QString& line) {
  QFile file(gLogFile);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
  file.write(toAnsi(line + QStringLiteral("\r\n")));
}

bool makeFolder(const QString& path) { return PathExists(path, true) || QDir().mkdir(path); }

// The desktop's opener for a file type; empty when no program is associated.
QString associatedProgram(const QString& file) {
  const QString mime = QMimeDatabase().mimeTypeForFile(file).name();
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) return {};
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mime});
  if (!query.waitForFinished(5000)) return {};
  return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

}  // namespace

std::optional<double> finiteNumber(const QString& text) {
  bool ok = false;
  const double number = text.toDouble(&ok);
  if (!ok || !std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<qint32> roundedLong(double number) {
  const double whole = std::nearbyint(number);
  if (!(whole >= std::numeric_limits<qint32>::min() && whole <= std::numeric_limits<qint32>::max()))
    return std::nullopt;
  return static_cast<qint32>(whole);
}

QStringList SplitCommandLine(const QString& text) {
  QStringList args;
  QString token;
  bool quoted = false;
  for (const QChar c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (!token.isEmpty()) args.append(token);
      token.clear();
    } else {
      token.append(c);
    }
  }
  if (!token.isEmpty()) args.append(token);
  return args;
}

QStringList GetClipboardFiles() {
  QStringList files;
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return files;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files.append(QDir::cleanPath(url.toLocalFile()));
  return files;
}

QString ProgramFileDescription() { return kFileDescription; }

bool commonInit() {
  QString temp = qEnvironmentVariable("TEMP");
  if (temp.isEmpty() || !PathExists(temp, true)) temp = QDir::tempPath();
  QString sep;
  const QString root = GetUniquePath(QDir(temp).filePath(QStringLiteral("Pelva Skyplain Vondir")), true, sep);
  if (!makeFolder(root)) return false;
  sep.clear();
  const QString dir = GetUniquePath(QDir(root).filePath(kProductName), true, sep);
  if (!makeFolder(dir)) return false;
  gTempDir = dir + QLatin1Char('/');
  gRegRoot = QStringLiteral("Software\\Pelva\\Skyplain Vondir\\") + kFileDescription + QLatin1Char('\\');
  return true;
}

void setLogClock(std::function<QDateTime()> clock) { logClock() = std::move(clock); }

void LogMessage(const QString& msg) {
  if (!gLogging) return;
  const QString line =
      logClock()().toString(QStringLiteral("dd:MM:yy HH:mm:ss")) + QStringLiteral(": ") + msg;
  if (gLogFile.isEmpty())
    frmDebug::instance().addLine(line);
  else
    appendToLogFile(line);
}

int ShellExecuteWait(const QString& file, bool wait) {
  if (!QFileInfo::exists(file)) return -1;
  if (associatedProgram(file).isEmpty()) return -2;
  const QStringList args{file};
  const QString opener = QStringLiteral("xdg-open");
  if (wait) return QProcess::execute(opener, args) == 0 ? 0 : -3;
  return QProcess::startDetached(opener, args) ? 0 : -3;
}
