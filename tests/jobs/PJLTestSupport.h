#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Loading option definitions from test files, and reading the log they write.
namespace PJLTest {

// tests/data/pjl, and the folder of the shipped definition files.
QString fixtureFolder();
QString shippedFolder();
// Loads the definitions from the fixture folder tests/data/pjl.
void loadFixture();
// Writes `content` as pjl.xml into a fresh folder and loads it.
void loadDefinitions(const QByteArray& content);
// Logging into a sandbox file from now on; the lines written since.
void startLog();
QStringList logLines();

}  // namespace PJLTest
