#include <gtest/gtest.h>

#include <QFile>

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
    EXPECT_EQ(runIn(program, code), QStringList(text(code, 274, {text(code, 224), text(code, 135)})))
        << code.toStdString();
}

TEST_F(SetupLanguageRunTest, AnInstallerProgramThatCannotStartIsNamedInEveryLanguage) {
  s.addMsiDll(3, 1, 4000, 0);
  QFile::remove(s.system + "/msiexec.exe");
  const QString program = setupWith();
  for (const QString& code : SetupTexts::kLanguages)
    EXPECT_EQ(runIn(program, code),
              QStringList(text(code, 274, {text(code, 224), text(code, 223, {s.system + "/msiexec.exe"})})))
        << code.toStdString();
}

}  // namespace
