#include "FolderProperties.h"

#include <QDir>
#include <QHash>
#include <QStandardPaths>
#include <functional>

#include "FixedDrives.h"
#include "SetupPaths.h"

namespace {

QString withSlash(QString path) {
  if (!path.isEmpty() && !path.endsWith('/')) path += '/';
  return path;
}

QString systemFolder() {
  const QString named = qEnvironmentVariable("KVT_SYSTEM_FOLDER");
  return withSlash(named.isEmpty() ? QStringLiteral("/usr/lib/kvt/system") : named);
}

QString windowsFolder() {
  QString parent = QDir::cleanPath(systemFolder() + QStringLiteral(".."));
  return withSlash(parent);
}

QString userFolder(QStandardPaths::StandardLocation location, const QString& below = {}) {
  const QString base = QStandardPaths::writableLocation(location);
  return base.isEmpty() ? QString() : withSlash(withSlash(base) + below);
}

const QHash<QString, std::function<QString()>>& folderTable() {
  static const QHash<QString, std::function<QString()>> table = {
      {"SystemFolder", systemFolder},
      {"WindowsFolder", windowsFolder},
      {"WindowsVolume", [] { return QStringLiteral("/"); }},
      {"TempFolder", SetupPaths::tempFolder},
      {"ProgramFilesFolder", [] { return QStringLiteral("/opt/"); }},
      {"ProgramFiles", [] { return QStringLiteral("/opt/"); }},
      {"CommonFilesFolder", [] { return QStringLiteral("/opt/common/"); }},
      {"DesktopFolder", [] { return userFolder(QStandardPaths::DesktopLocation); }},
      {"AppDataFolder", [] { return userFolder(QStandardPaths::GenericDataLocation); }},
      {"FavoritesFolder", [] { return QString(); }},
      {"StartMenuFolder", [] { return userFolder(QStandardPaths::ApplicationsLocation); }},
      {"ProgramMenuFolder", [] { return userFolder(QStandardPaths::ApplicationsLocation); }},
      {"StartupFolder", [] { return userFolder(QStandardPaths::GenericConfigLocation, "autostart"); }},
      {"FontsFolder", [] { return userFolder(QStandardPaths::FontsLocation); }},
  };
  return table;
}

}  // namespace

QString ResolveFolderProperty(const QString& name) {
  const auto found = folderTable().constFind(name);
  return found != folderTable().constEnd() ? (*found)() : name;
}

QString ExpandFolderProperties(const QString& text) {
  QString out;
  qsizetype pos = 0;
  while (pos < text.size()) {
    qsizetype open = pos;
    while (open < text.size() && text[open] != '[' && text[open] != '%') ++open;
    out += text.mid(pos, open - pos);
    if (open == text.size()) break;
    const QChar closing = text[open] == '[' ? QChar(']') : QChar('%');
    const qsizetype close = text.indexOf(closing, open + 1);
    if (close < 0) {
      out += text.mid(open);
      break;
    }
    const QString name = text.mid(open + 1, close - open - 1);
    out +=
        closing == ']' ? ResolveFolderProperty(name) : qEnvironmentVariable(name.toLocal8Bit().constData());
    pos = close + 1;
  }
  return out;
}

QStringList ListFixedDrives() {
  QStringList fixed;
  for (const QString& root : FixedDrives::logicalDriveStrings())
    if (FixedDrives::driveType(root) == FixedDrives::DriveType::Fixed) fixed.append(root);
  return fixed;
}
