#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "MessageBox.h"

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

// The message boxes shown while it lives, as "title|text", each answered with OK.
struct MessageLog {
  MessageLog() {
    setMsgBoxAnswerer([this](const QString& text, int, const QString& title) {
      shown.append(title + "|" + text);
      return MsgBoxResult::Ok;
    });
  }
  ~MessageLog() { setMsgBoxAnswerer(nullptr); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;
  QStringList shown;
};

}  // namespace PJLTest
