#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <initializer_list>

class QProcess;

// Every test process runs in a sandbox of its own: a fresh temporary folder that
// stands in for the registry folder, the configuration folder, HOME, the
// XDG folders and the temporary folder (TEMP, TMPDIR).
namespace TestEnv {

// The sandbox folder of this test process (no trailing "/").
QString sandbox();

// A new empty folder inside the sandbox.
QString freshDir(const QString& name);

// Fixtures under tests/data.
QString dataPath(const QString& relative);

// The support/ folder of the build (option definitions, paper sizes).
QString supportDir();

// The whole of a file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// Makes `path` hold `bytes`; a file that cannot be written fails the test.
void writeFile(const QString& path, const QByteArray& bytes);

// Rewrites the file at `path` in place to `bytes` and puts its access and modification times
// back, as an editor that keeps them does: only its change time, or its contents, tell.
void rewriteKeepingTimes(const QString& path, const QByteArray& bytes);

// Waits until the clock tick of the last change of the file at `path` is over: a look at the
// file from then on can trust its stamp.
void waitPastLastChange(const QString& path);

// The shell line by which a stand-in script records the output of `command` into the file at
// `path`: written beside it and renamed into place, so a test that finds the file finds all of it.
QByteArray recordWhole(const QByteArray& command, const QString& path);

// Makes a FIFO at `path`; one that cannot be made fails the test.
void makeFifo(const QString& path);

// Starts this test program again to run `test` alone, its output forwarded and
// `variables` added to its environment: the second process of a test.
void startSelf(QProcess& process, const QString& test, const QList<QPair<QString, QString>>& variables);

// Has `process` start its program with standard input, output and error closed,
// as some launchers and service managers do; `more` runs in the child too.
void closeStandardDescriptors(QProcess& process, const std::function<void()>& more = {});

// Has `process` start its program with standard output and error a pipe whose
// reader is gone, and SIGPIPE at its default as a shell leaves it; `more` runs in
// the child too, after that.
void writeOutputIntoUnreadPipe(QProcess& process, const std::function<void()>& more = {});

void setUp();

}  // namespace TestEnv
