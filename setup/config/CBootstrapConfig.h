#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "FourPartVersion.h"

// How a prerequisite is fetched.
namespace PrerequisiteKind {
constexpr int SetupFile = 0;  // carried in the payload
constexpr int Download = 1;   // fetched from its URL
constexpr int WebSite = 2;    // the user fetches it from a web site
}  // namespace PrerequisiteKind

// What detection, the passes and the wizard found or did for a prerequisite.
namespace PrerequisiteState {
constexpr int NothingToDo = 0;
constexpr int Install = 1;
constexpr int Download = 2;
constexpr int NotForThisSystem = 3;
constexpr int Downloaded = 4;
constexpr int DownloadFailed = 5;
constexpr int DownloadedPresent = 6;
constexpr int Unchecked = 7;
constexpr int Installed = 8;
constexpr int OpenSite = 9;
}  // namespace PrerequisiteState

// How a prerequisite is looked for on the machine.
namespace SearchType {
constexpr int File = 0;
constexpr int RegistryKey = 1;
constexpr int RegistryValue = 2;
}  // namespace SearchType

// Which of the run's files are kept at its end.
namespace KeepFilesMode {
constexpr int Nothing = 0;
constexpr int Minimum = 1;
constexpr int Complete = 2;
}  // namespace KeepFilesMode

// One prerequisite as its section of the configuration file describes it.
struct PrerequisiteInfo {
  QString name;
  QString location;
  QString commandLine;
  QString options;
  QString md5;
  int kind = PrerequisiteKind::SetupFile;
  int searchType = SearchType::File;
  QString searchString;
  QString verMin;
  QString verMax;
  int targetOS = 2;  // 0 Windows 95 family only, 1 NT family only, 2 any
  qint64 exactSize = 0;
  QString folder;
};

// The setup's configuration file: the general options of the run, the
// prerequisites, and what detection found for each of them.
class CBootstrapConfig {
 public:
  QList<PrerequisiteInfo> prerequisites;
  QList<QStringList> foundVersions;  // per prerequisite
  QList<int> states;                 // per prerequisite, a PrerequisiteState
  QString MainAppCmdLine;
  QString Options;
  QString ProductCode;
  QString MinWIVer;
  QString DownloadFolder;
  QString MainAppURL;
  QString LanguageList;
  QString ExtractionFolder;
  int KeepFiles = KeepFilesMode::Nothing;
  QString configPath;

  // The value of `key` in `section` of `file`; nothing when the key is absent,
  // when its value is "NOT FOUND", or when it fills the 260-byte buffer.
  static std::optional<QString> ReadIniValue(const QString& section, const QString& key, const QString& file);
  // The leading decimal digits of `text` (0 when none), saturating at the largest 64-bit value.
  static qint64 ParseDecimal(const QString& text);

  // Reads the whole file: general options, then App1, App2, ... up to the
  // first prerequisite that is missing or incomplete.
  void LoadConfiguration(const QString& path);
  void ReadGeneralOptions();
  // Appends prerequisite `number`; false when it is missing or incomplete.
  bool ReadPrerequisite(int number);
  // The search settings of `section` into `info`; false when incomplete.
  bool ReadSearchSettings(const QString& section, PrerequisiteInfo& info) const;

  // The folders with their properties expanded, expanded on first use.
  QString GetDownloadFolder();
  QString GetExtractionFolder();

  // True when the option letter stands anywhere in `Options` (case-sensitive).
  bool HasOption(const QString& letter) const;

  // Detection: rebuilds every prerequisite's found versions, then every state.
  void DetectAll();
  // Detects prerequisite `index` again.
  void RedetectOne(int index);
  // The state prerequisite `index` gets from its found versions.
  int EvaluatePrerequisite(int index) const;
  // True when some prerequisite must be installed, downloaded or its site opened.
  bool HasWork() const;
  // True when a prerequisite searches for "[SystemFolder]msi.dll" for this system family.
  bool HasMsiPrerequisite() const;
  // The version of Windows Installer's library; empty when it is not found.
  static FourPartVersion GetMsiDllVersion();

 private:
  std::optional<QString> read(const QString& section, const QString& key) const;
  QString readText(const QString& section, const QString& key) const;
  static QString expandedOnce(QString& folder, bool& expanded);

  bool downloadFolderExpanded_ = false;
  bool extractionFolderExpanded_ = false;
};
