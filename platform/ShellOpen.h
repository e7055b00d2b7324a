#pragma once

#include <QString>
#include <QStringList>

// What the Windows shell does for "open", by file: an installer package goes to
// the installer program, a program or script runs directly, anything else goes
// to the desktop's opener. Every started program is waited for.
namespace ShellOpen {

// Splits a command-line text by the Windows rules: blanks and tabs separate,
// double quotes group and are dropped, "" inside quotes is one quote, and
// backslashes are literal except right before a double quote.
QStringList splitCommandLine(const QString& commandLine);

// True for an ELF program or a "#!" script: files the system runs directly.
bool isDirectlyRunnable(const QString& file);
bool isDirectlyRunnable(const QByteArray& firstBytes);

// Runs `program` with `arguments` and waits for it. False when it could not be
// started; otherwise `exitCode` gets its exit code (128 plus the signal when a
// signal ended it).
bool runAndWait(const QString& program, const QStringList& arguments, int& exitCode);

// The program that opens a file, and its arguments.
struct Opening {
  QString program;
  QStringList arguments;
};

// How the shell opens `file`: a name ending in ".msi" runs `installerProgram`
// /i "<file>" <parameters>; a program or script runs with its parameters;
// anything else goes to xdg-open.
Opening openingOf(const QString& file, const QString& parameters, const QString& installerProgram);

// Opens `file` so and waits; false when the opening program could not be started.
bool openAndWait(const QString& file, const QString& parameters, const QString& installerProgram,
                 int& exitCode);

}  // namespace ShellOpen
