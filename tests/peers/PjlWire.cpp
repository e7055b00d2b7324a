#include "PjlWire.h"

#include "Ansi.h"
#include "UserInfo.h"

namespace PjlWire {

QByteArray line(const QString& text) { return toAnsi(text) + "\r\n"; }

QByteArray jobHeader(const QString& name, const QStringList& jobLines) {
  QByteArray out = kExitLanguage + line("@PJL JOB NAME=\"" + name + "\"");
  for (const QString& text : jobLines) out += line(text);
  return out;
}

QString ownerLine() { return "@PJL SET OWNER=\"" + loggedOnUserName() + "\""; }

QByteArray documentPart(const QStringList& optionLines, const QString& baseName, const QString& extension,
                        const QByteArray& data) {
  QByteArray out;
  for (const QString& text : optionLines) out += line(text);
  out += line("@PJL SET SOURCEFILENAME=\"" + baseName + "\"");
  out += line("@PJL SET SOURCEFILEEXT=\"" + extension + "\"");
  return out + kEnterLanguage + data;
}

QByteArray printData(qsizetype size, int seed) {
  QByteArray data(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) {
    const char c = static_cast<char>((i * 31 + seed * 7 + 5) % 256);
    data[i] = c == '\x1b' ? '\x1c' : c;
  }
  return data;
}

::testing::AssertionResult sameBytes(const QByteArray& actual, const QByteArray& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  qsizetype at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  const auto around = [at](const QByteArray& bytes) {
    return bytes.mid(qMax<qsizetype>(0, at - 40), 100).toPercentEncoding(" @=\"").toStdString();
  };
  return ::testing::AssertionFailure()
         << "sizes " << actual.size() << " and " << expected.size() << ", first difference at " << at
         << "\n  actual:   " << around(actual) << "\n  expected: " << around(expected);
}

}  // namespace PjlWire
