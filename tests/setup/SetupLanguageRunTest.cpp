#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>

#include "BootstrapperRun.h"
#include "SetupTexts.h"

namespace {

using SetupTexts::text;

// The lines the setup wrote on standard error, without Qt's own notes.
QStringList setupLines(const QString& standardError) {
  QStringList lines;
  for (const QString& line : standardError.split('\n', Qt::SkipEmptyParts))
    if (!line.startsWith("QStandardPaths:")) lines << line;
  return lines;
}

// Headless, each box goes to standard error with its caption, in the user's language.
class SetupLanguageRunTest : public ::testing::Test {
 protected:
  void SetUp() override { BootstrapperRun::writeFile(s.work + "/package.msi", "package"); }

  QString setupWith(const QStringList& more = {}) {
    const QString program = s.work + "/setup";
    EXPECT_TRUE(s.build(program, QStringList{"--file", "1:0:package.msi=" + s.work + "/package.msi"} + more));
    return program;
  }

  QStringList runIn(const QString& program, const QString& code) {
    s.environment.insert("LC_ALL", code + ".UTF-8");
    EXPECT_TRUE(s.run(program, {}));
    EXPECT_EQ(s.exitCode, 1) << code.toStdString();
    return setupLines(s.standardError);
  }

  BootstrapperRun s;
};

TEST_F(SetupLanguageRunTest, AMissingInstallerIsAnErrorInEveryLanguage) {
  const QString program = setupWith();
  for (const QString& code : SetupTexts::kLanguages)
    EXPECT_EQ(runIn(program, code), QStringList(text(code, 224) + ": " + text(code, 135)))
        << code.toStdString();
}

TEST_F(SetupLanguageRunTest, AnInstallerProgramThatCannotStartIsNamedInEveryLanguage) {
  s.addMsiDll(3, 1, 4000, 0);
  QFile::remove(s.system + "/msiexec.exe");
  const QString program = setupWith();
  for (const QString& code : SetupTexts::kLanguages)
    EXPECT_EQ(runIn(program, code),
              QStringList(text(code, 224) + ": " + text(code, 223, {s.system + "/msiexec.exe"})))
        << code.toStdString();
}

TEST_F(SetupLanguageRunTest, AQuietDownloadThatIsRefusedIsToldInEveryLanguage) {
  s.addMsiDll(3, 1, 4000, 0);
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 closed = probe.serverPort();
  probe.close();
  BootstrapperRun::writeFile(
      s.work + "/setup.ini",
      QStringLiteral(
          "[GeneralOptions]\r\nOptions=q\r\nDownloadFolder=%1\r\n[PREREQUISITES]\r\nApp1=Runtime\r\n"
          "[App1]\r\nUrl=http://127.0.0.1:%2/rt.exe\r\nExactSize=10\r\nSearchType=0\r\n"
          "SearchString=[SystemFolder]rt.dll\r\n")
          .arg(s.work + "/downloads")
          .arg(closed)
          .toUtf8());
  const QString program = setupWith({"--file", "0:3:setup.ini=" + s.work + "/setup.ini", "--configuration"});
  for (const QString& code : SetupTexts::kLanguages) {
    s.environment.insert("LC_ALL", code + ".UTF-8");
    ASSERT_TRUE(s.run(program, {}));
    EXPECT_EQ(s.exitCode, 0) << code.toStdString() << " the main package is still installed";
    EXPECT_EQ(setupLines(s.standardError),
              QStringList(text(code, 199, {"Runtime"}) + ": " + text(code, 215, {text(code, 250)})))
        << code.toStdString();
  }
}

}  // namespace
