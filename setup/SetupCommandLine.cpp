#include "SetupCommandLine.h"

namespace SetupCommandLine {

namespace {

QString quotedArgument(const QString& arg) {
  const qsizetype colon = arg.indexOf(':');
  const bool isSwitch = arg.startsWith('/') && colon > 1 && !arg.left(colon).contains(' ');
  if (isSwitch) return arg.left(colon + 1) + '"' + arg.mid(colon + 1) + '"';
  return '"' + arg + '"';
}

}  // namespace

QString join(const QStringList& args) {
  QStringList parts;
  for (const QString& arg : args) parts << (arg.contains(' ') ? quotedArgument(arg) : arg);
  return parts.join(' ');
}

bool hasSwitch(const QString& cmdLine, const QString& name) { return cmdLine.contains(name); }

std::optional<QString> switchValue(const QString& cmdLine, const QString& name) {
  const qsizetype at = cmdLine.indexOf(name);
  if (at < 0) return std::nullopt;
  qsizetype start = at + name.size();
  QChar terminator = ' ';
  if (start < cmdLine.size() && cmdLine[start] == '"') {
    terminator = '"';
    ++start;
  }
  const qsizetype end = cmdLine.indexOf(terminator, start);
  return cmdLine.mid(start, end < 0 ? -1 : end - start);
}

QString AppendSetupProperties(const QString& parameters, const QString& archivePath) {
  const QString folder = archivePath.left(archivePath.lastIndexOf('/') + 1);
  return parameters + QStringLiteral(" OV_SETUPEXEPATH=\"%1\" SETUPEXEDIR=\"%2\" ").arg(archivePath, folder);
}

}  // namespace SetupCommandLine
