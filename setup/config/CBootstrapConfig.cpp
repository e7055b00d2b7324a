#include "CBootstrapConfig.h"

#include <limits>

#include "FolderProperties.h"
#include "PrivateProfile.h"

namespace {

const QString kGeneralOptions = QStringLiteral("GeneralOptions");
const QString kPrerequisites = QStringLiteral("PREREQUISITES");
const QString kNotFound = QStringLiteral("NOT FOUND");
constexpr int kValueBufferSize = 260;

int clampedInt(qint64 value) { return int(std::min<qint64>(value, std::numeric_limits<int>::max())); }

int keepFilesMode(const QString& value) {
  if (value == QLatin1String("complete")) return KeepFilesMode::Complete;
  if (value == QLatin1String("minimum")) return KeepFilesMode::Minimum;
  return KeepFilesMode::Nothing;
}

}  // namespace

std::optional<QString> CBootstrapConfig::ReadIniValue(const QString& section, const QString& key,
                                                      const QString& file) {
  QString value;
  const int length = PrivateProfile::getString(section, key, kNotFound, value, kValueBufferSize, file);
  if (length == kValueBufferSize - 1 || value == kNotFound) return std::nullopt;
  return value;
}

qint64 CBootstrapConfig::ParseDecimal(const QString& text) {
  qint64 value = 0;
  constexpr qint64 kMax = std::numeric_limits<qint64>::max();
  for (const QChar c : text) {
    if (c < '0' || c > '9') break;
    const int digit = c.digitValue();
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

std::optional<QString> CBootstrapConfig::read(const QString& section, const QString& key) const {
  return ReadIniValue(section, key, configPath);
}

QString CBootstrapConfig::readText(const QString& section, const QString& key) const {
  return read(section, key).value_or(QString());
}

void CBootstrapConfig::LoadConfiguration(const QString& path) {
  // One reading of the file serves every value, however large it is.
  const PrivateProfile::Snapshot snapshot(path);
  configPath = path;
  prerequisites.clear();
  foundVersions.clear();
  states.clear();
  ReadGeneralOptions();
  for (int number = 1; ReadPrerequisite(number); ++number) {
  }
  foundVersions.resize(prerequisites.size());
  states.resize(prerequisites.size());
}

void CBootstrapConfig::ReadGeneralOptions() {
  MainAppCmdLine = readText(kGeneralOptions, QStringLiteral("MainAppCmdLine"));
  Options = readText(kGeneralOptions, QStringLiteral("Options"));
  ProductCode = readText(kGeneralOptions, QStringLiteral("ProductCode"));
  MinWIVer = readText(kGeneralOptions, QStringLiteral("MinWIVer"));
  DownloadFolder = readText(kGeneralOptions, QStringLiteral("DownloadFolder"));
  MainAppURL = readText(kGeneralOptions, QStringLiteral("MainAppURL"));
  LanguageList = readText(kGeneralOptions, QStringLiteral("LanguageList"));
  ExtractionFolder = readText(kGeneralOptions, QStringLiteral("ExtractionFolder"));
  if (!ExtractionFolder.isEmpty() && !ExtractionFolder.endsWith('/') && !ExtractionFolder.endsWith('\\'))
    ExtractionFolder += '/';
  KeepFiles = keepFilesMode(readText(kGeneralOptions, QStringLiteral("KeepFiles")));
  downloadFolderExpanded_ = false;
  extractionFolderExpanded_ = false;
}

bool CBootstrapConfig::ReadPrerequisite(int number) {
  const QString section = QStringLiteral("App%1").arg(number);
  const std::optional<QString> name = read(kPrerequisites, section);
  if (!name) return false;
  PrerequisiteInfo info;
  info.name = *name;
  const std::optional<QString> targetOS = read(section, QStringLiteral("TargetOS"));
  info.targetOS = targetOS ? clampedInt(ParseDecimal(*targetOS)) : 2;
  const std::pair<const char*, int> locations[] = {{"SetupFile", PrerequisiteKind::SetupFile},
                                                   {"Url", PrerequisiteKind::Download},
                                                   {"OpenSite", PrerequisiteKind::WebSite}};
  bool located = false;
  for (const auto& [key, kind] : locations) {
    if (const std::optional<QString> location = read(section, QLatin1String(key))) {
      info.location = *location;
      info.kind = kind;
      located = true;
      break;
    }
  }
  if (!located) return false;
  info.exactSize = ParseDecimal(readText(section, QStringLiteral("ExactSize")));
  info.md5 = readText(section, QStringLiteral("MD5"));
  info.commandLine = readText(section, QStringLiteral("CommandLine"));
  info.options = readText(section, QStringLiteral("Options"));
  info.folder = readText(section, QStringLiteral("Folder"));
  if (!ReadSearchSettings(section, info)) return false;
  prerequisites.append(info);
  return true;
}

bool CBootstrapConfig::ReadSearchSettings(const QString& section, PrerequisiteInfo& info) const {
  const std::optional<QString> type = read(section, QStringLiteral("SearchType"));
  if (!type) return false;
  info.searchType = clampedInt(ParseDecimal(*type));
  info.verMin = readText(section, QStringLiteral("VerMin"));
  info.verMax = readText(section, QStringLiteral("VerMax"));
  const std::optional<QString> searchString = read(section, QStringLiteral("SearchString"));
  if (!searchString) return false;
  info.searchString = *searchString;
  return true;
}

QString CBootstrapConfig::expandedOnce(QString& folder, bool& expanded) {
  if (!expanded) {
    folder = ExpandFolderProperties(folder).replace('\\', '/');
    expanded = true;
  }
  return folder;
}

QString CBootstrapConfig::GetDownloadFolder() {
  return expandedOnce(DownloadFolder, downloadFolderExpanded_);
}

QString CBootstrapConfig::GetExtractionFolder() {
  return expandedOnce(ExtractionFolder, extractionFolderExpanded_);
}

bool CBootstrapConfig::HasOption(const QString& letter) const { return Options.contains(letter); }
