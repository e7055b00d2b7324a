#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

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

// Makes a FIFO at `path`; one that cannot be made fails the test.
void makeFifo(const QString& path);

// Starts this test program again to run `test` alone, its output forwarded and
// `variables` added to its environment: the second process of a test.
void startSelf(QProcess& process, const QString& test, const QList<QPair<QString, QString>>& variables);

void setUp();

}  // namespace TestEnv
