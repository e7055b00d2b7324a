#include "SetupCommandLine.h"

#include "ShellOpen.h"

namespace SetupCommandLine {

namespace {

bool needsQuotes(const QString& text) {
  return text.isEmpty() || text.contains(' ') || text.contains('\t') || text.contains('"');
}

// Quotes `text` by the Windows rules: a double quote inside becomes \", and the
// backslashes before it or before the closing quote are doubled.
QString quoted(const QString& text) {
  QString out(1, '"');
  qsizetype backslashes = 0;
  for (const QChar c : text) {
    // The backslashes just written, and one more for the quote itself.
    if (c == '"') out += QString(backslashes + 1, '\\');
    backslashes = c == '\\' ? backslashes + 1 : 0;
    out += c;
  }
  return out + QString(backslashes, '\\') + '"';
}

QString joinArgument(const QString& arg) {
  if (!needsQuotes(arg)) return arg;
  const qsizetype colon = arg.indexOf(':');
  const bool isSwitch = arg.startsWith('/') && colon > 1 && !needsQuotes(arg.left(colon));
  return isSwitch ? arg.left(colon + 1) + quoted(arg.mid(colon + 1)) : quoted(arg);
}

}  // namespace

QString join(const QStringList& args) {
  QStringList parts;
  for (const QString& arg : args) parts << joinArgument(arg);
  return parts.join(' ');
}

bool hasSwitch(const QString& cmdLine, const QString& name) { return cmdLine.contains(name); }

std::optional<QString> switchValue(const QString& cmdLine, const QString& name) {
  const qsizetype at = cmdLine.indexOf(name);
  if (at < 0) return std::nullopt;
  const qsizetype start = at + name.size();
  // A quoted value is read back as join quoted it.
  if (start < cmdLine.size() && cmdLine[start] == '"')
    return ShellOpen::splitCommandLine(cmdLine.mid(start)).value(0);
  const qsizetype end = cmdLine.indexOf(' ', start);
  return cmdLine.mid(start, end < 0 ? -1 : end - start);
}

QString AppendSetupProperties(const QString& parameters, const QString& archivePath) {
  const QString folder = archivePath.left(archivePath.lastIndexOf('/') + 1);
  return parameters +
         QStringLiteral(" OV_SETUPEXEPATH=%1 SETUPEXEDIR=%2 ").arg(quoted(archivePath), quoted(folder));
}

}  // namespace SetupCommandLine
