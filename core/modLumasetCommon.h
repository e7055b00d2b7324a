#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The program's temporary folder, ending in "/"; set by commonInit.
extern QString gTempDir;
// Registry base path of every setting, ending in "\"; set by commonInit.
extern QString gRegRoot;
// Logging is on (the log switch was given).
extern bool gLogging;
// The log file; empty means the log window.
extern QString gLogFile;

// The smaller of two values; the second on equality.
template <typename T>
T MinValue(const T& a, const T& b) {
  return a < b ? a : b;
}

// The larger of two values; the second on equality.
template <typename T>
T MaxValue(const T& a, const T& b) {
  return b < a ? a : b;
}

// A number read from text with "."; nothing unless it is one and finite
// ("nan" and "inf" are refused wherever a number comes from outside).
std::optional<double> finiteNumber(const QString& text);

// A number rounded half to even to a 32-bit whole number; nothing when it does not fit.
std::optional<qint32> roundedLong(double number);

// Splits a command line at blanks and TABs outside double quotes; quotes only group.
QStringList SplitCommandLine(const QString& text);

// Local files offered on the clipboard as a file list; empty when there are none.
QStringList GetClipboardFiles();

// The program's file description ("Vondir Submit"): its window title and registry name.
QString ProgramFileDescription();

// Creates the temporary folder and sets the registry base path.
// False when a folder could not be made.
bool commonInit();

// Writes one time-stamped line to the log file or the log window, when logging is on.
void LogMessage(const QString& msg);

// The clock that stamps log lines; tests put a fixed one in its place.
void setLogClock(std::function<QDateTime()> clock);

// Opens a document with the program the desktop associates with it (the one
// verb there is: open). With `wait`, returns when the opener has finished.
// 0 started; -1 file not found; -2 no program associated; -3 any other failure.
int ShellExecuteWait(const QString& file, bool wait = false);
