#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The PJL stream as a printer receives it, written out from the stream's rules,
// for tests to compare against what arrived.
namespace PjlWire {

inline const QByteArray kUEL("\x1b%-12345X");
inline const QByteArray kExitLanguage = kUEL + " @PJL\r\n";
inline const QByteArray kEOJ("@PJL EOJ\r\n");
inline const QByteArray kEnterLanguage("@PJL ENTER LANGUAGE=AUTO\r\n");

// One line: the text in ANSI, then CR LF.
QByteArray line(const QString& text);
// The exit-language line, the job name and the job's option lines.
QByteArray jobHeader(const QString& name, const QStringList& jobLines);
// The job's OWNER line for the logged-on user.
QString ownerLine();
// One part of a document: its option lines, where it came from, the language switch, the data.
QByteArray documentPart(const QStringList& optionLines, const QString& baseName, const QString& extension,
                        const QByteArray& data);
// Print data free of ESC, so it holds no exit-language sequence of its own.
QByteArray printData(qsizetype size, int seed);
// Equal bytes, or where they first differ, shown with some context.
::testing::AssertionResult sameBytes(const QByteArray& actual, const QByteArray& expected);

}  // namespace PjlWire
