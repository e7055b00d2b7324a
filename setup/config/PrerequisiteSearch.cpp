#include "PrerequisiteSearch.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "Ansi.h"
#include "CBootstrapConfig.h"
#include "FolderProperties.h"
#include "RegistryStore.h"
#include "VersionResource.h"

namespace PrerequisiteSearch {

namespace {

constexpr qsizetype kRegistryBufferSize = 260;

bool isSeparator(QChar c) { return c == '/' || c == '\\'; }

qsizetype lastSeparator(const QString& path) {
  return std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
}

// The folder part and the name of a candidate, the folder still unexpanded.
std::pair<QString, QString> splitCandidate(const QString& candidate) {
  const qsizetype separator = lastSeparator(candidate);
  if (separator > 0) return {candidate.left(separator + 1), candidate.mid(separator + 1)};
  const qsizetype property = std::max(candidate.lastIndexOf('%'), candidate.lastIndexOf(']'));
  if (property >= 0) return {candidate.left(property + 1), candidate.mid(property + 1)};
  if (separator == 0) return {QStringLiteral("/"), candidate.mid(1)};
  return {QString(), candidate};
}

// The entry `name` in `folder`, matched without regard to case when it is not there as written.
std::optional<QString> entryIn(const QString& folder, const QString& name) {
  const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  if (QFileInfo::exists(dir.filePath(name))) return dir.filePath(name);
  const QStringList entries =
      dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& entry : entries)
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
  return std::nullopt;
}

std::optional<QString> findInTree(const QString& folder, const QString& name, qint64 depth) {
  if (name.isEmpty()) return std::nullopt;
  if (std::optional<QString> found = entryIn(folder, name)) return found;
  if (depth <= 0) return std::nullopt;
  const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QStringList subfolders =
      dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
  for (const QString& sub : subfolders)
    if (std::optional<QString> found = findInTree(dir.filePath(sub), name, depth - 1)) return found;
  return std::nullopt;
}

quint32 registryRoot(const QString& name) {
  if (name == QLatin1String("HKLM")) return 0x80000002;
  if (name == QLatin1String("HKCU")) return 0x80000001;
  if (name == QLatin1String("HKCR")) return 0x80000000;
  if (name == QLatin1String("HKCC")) return 0x80000005;
  return 0x80000003;  // HKEY_USERS
}

// Registry data as a 260-byte buffer receives it: too long fails; the text ends at its first zero.
std::optional<QString> valueText(const RegValue& value) {
  if (value.data.size() > kRegistryBufferSize) return std::nullopt;
  const qsizetype zero = value.data.indexOf('\0');
  return fromAnsi(zero < 0 ? value.data : value.data.left(zero));
}

QStringList searchValue(RegistryStore& store, const QString& key, const QString& rest) {
  const qsizetype nameEnd = rest.indexOf('\\');
  const QString name = nameEnd < 0 ? rest : rest.left(nameEnd);
  const std::optional<RegValue> value = store.queryValue(key, name);
  if (!value) return {};
  const std::optional<QString> data = valueText(*value);
  if (!data) return {};
  if (nameEnd >= 0) {
    const qsizetype textEnd = rest.indexOf('\\', nameEnd + 1);
    if (textEnd >= 0 && rest.mid(nameEnd + 1, textEnd - nameEnd - 1) != *data) return {};
  }
  return {*data};
}

}  // namespace

QString FileVersionText(const QString& path) {
  const std::optional<VersionInfo> info = VersionResource::readFile(path);
  if (!info) return QStringLiteral("0.0.0.0");
  return QStringLiteral("%1.%2.%3.%4")
      .arg(info->fileVersionMS >> 16)
      .arg(info->fileVersionMS & 0xFFFF)
      .arg(info->fileVersionLS >> 16)
      .arg(info->fileVersionLS & 0xFFFF);
}

QStringList SearchFiles(const QString& searchString) {
  const qsizetype question = searchString.indexOf('?');
  const QString path = question < 0 ? searchString : searchString.left(question);
  const qint64 depth = question < 0 ? 0 : CBootstrapConfig::ParseDecimal(searchString.mid(question + 1));
  const bool bare = lastSeparator(path) < 0 && !path.contains('%') && !path.contains(']');
  QStringList candidates;
  if (bare) {
    for (const QString& root : ListFixedDrives()) candidates.append(root + path);
  } else {
    candidates.append(path);
  }
  for (const QString& candidate : candidates) {
    const auto [folder, name] = splitCandidate(candidate);
    QString expanded = ExpandFolderProperties(folder).replace('\\', '/');
    if (!expanded.isEmpty() && !isSeparator(expanded.back())) expanded += '/';
    if (const std::optional<QString> found = findInTree(expanded, name, depth))
      return {FileVersionText(*found)};
  }
  return {};
}

QStringList SearchRegistry(const QString& searchString) {
  const qsizetype rootEnd = searchString.indexOf('\\');
  if (rootEnd < 0) return {};
  RegistryStore store(registryRoot(searchString.left(rootEnd)));
  const qsizetype valueMark = searchString.indexOf(QLatin1String("\\\\"), rootEnd + 1);
  const QString key = searchString.mid(rootEnd + 1, valueMark < 0 ? -1 : valueMark - rootEnd - 1);
  if (!store.keyInfo(key)) return {};
  if (valueMark >= 0) return searchValue(store, key, searchString.mid(valueMark + 2));
  QStringList names = store.subKeys(key);
  names.removeIf([](const QString& name) { return name.size() >= kRegistryBufferSize; });
  return names;
}

QString RegistryValueSearch(const QString& searchString) {
  const qsizetype last = searchString.lastIndexOf('\\');
  if (last < 0) return {};
  return searchString.left(last) + QLatin1Char('\\') + searchString.mid(last) + QLatin1Char('\\');
}

}  // namespace PrerequisiteSearch
