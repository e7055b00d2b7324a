#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Runs built copies of KVTsetup as processes, each in a sandbox of its own: a
// system folder with a recording msiexec.exe, a registry folder, a temporary
// folder and a folder for what the programs record.
class BootstrapperRun {
 public:
  BootstrapperRun();

  // Puts msi.dll with version a.b.c.d into the system folder.
  void addMsiDll(quint16 a, quint16 b, quint16 c, quint16 d) const;
  // msiexec.exe records its arguments (one a line) and exits with `exitCode`.
  void setInstallerExitCode(int exitCode) const;
  // msiexec.exe also appends the MD5 of the package it got and the mode of its
  // folder to "installs", creates "installing", and waits for `release` to exist.
  void setInstallerWaitingFor(const QString& release, int exitCode = 0) const;
  // A script that creates "<record>.started" and then waits for `release` to exist.
  QString waitingScript(const QString& name, const QString& record, const QString& release) const;
  // A script that records that it ran (and the Run value at that moment) into `record`.
  QString recordingScript(const QString& name, const QString& record) const;

  // Builds a setup program with KVTpayload; `items` are its arguments.
  bool build(const QString& output, const QStringList& items) const;
  // Runs a setup program to its end; false when it did not end in time.
  bool run(const QString& program, const QStringList& args);
  // Starts a setup program and leaves it running.
  std::unique_ptr<QProcess> start(const QString& program, const QStringList& args) const;
  // Waits (bounded) for a started setup program to end and takes its exit code and error output.
  bool finish(QProcess& setup);

  static QString readFile(const QString& path);
  static void writeFile(const QString& path, const QByteArray& data, bool executable = false);
  // Waits (bounded) until `path` exists or, with `gone`, until it no longer exists.
  static bool waitFor(const QString& path, bool gone = false);
  // Waits (bounded) until `done` holds.
  static bool eventually(const std::function<bool()>& done);

  QString installerArguments() const { return readFile(records + "/msiexec.args"); }
  // True when the Run value naming `program` stood in the registry copy `record`.
  bool runValueRecorded(const QString& record, const QString& program) const;
  // True when the Run value naming `program` stands in the registry now.
  bool runValuePresent(const QString& program) const;

  QString system, temp, records, work;
  QProcessEnvironment environment;
  // Files the program writes may not grow past this many bytes (0: no limit), as on a full disk.
  qint64 fileSizeLimit = 0;
  // The programs may hold no more descriptors open than this (0: no limit of the test's).
  int descriptorLimit = 0;
  // The programs start with standard input, output and error closed.
  bool standardDescriptorsClosed = false;
  // The programs see the folder `disk` names (it must exist) as an empty disk of
  // their own, read-only, with no room left, or one that runs no programs, in a
  // mount namespace of theirs.
  enum class DiskKind { ReadOnly, Full, NoPrograms };
  QString disk;
  DiskKind diskKind = DiskKind::ReadOnly;
  // True when this machine lets an unprivileged program have a mount namespace.
  static bool disksCanBeMounted();
  int exitCode = -1;
  QString standardError;
};
