#pragma once

#include <QFile>
#include <QStringList>

#include "Ansi.h"
#include "TestEnv.h"
#include "modLumasetCommon.h"

// Turns logging on into a file of the sandbox and hands back the messages
// without their time stamps.
class LogCapture {
 public:
  LogCapture() {
    gLogging = true;
    gLogFile = TestEnv::sandbox() + QStringLiteral("/log.txt");
    QFile::remove(gLogFile);
  }
  ~LogCapture() {
    gLogging = false;
    gLogFile.clear();
  }

  QStringList messages() const {
    QFile file(gLogFile);
    QStringList out;
    if (!file.open(QIODevice::ReadOnly)) return out;
    const QStringList lines = fromAnsi(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    // "dd:MM:yy HH:mm:ss: " comes first.
    for (const QString& line : lines) out.append(line.mid(19));
    return out;
  }

  void clear() const { QFile::remove(gLogFile); }
};
