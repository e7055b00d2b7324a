#include <gtest/gtest.h>

#include "SetupCommandLine.h"
#include "ShellOpen.h"

using namespace SetupCommandLine;

TEST(SetupCommandLineTest, JoinQuotesOnlyArgumentsThatNeedIt) {
  const struct {
    QStringList args;
    QString joined;
  } cases[] = {
      {{}, ""},
      {{"/q", "TARGETDIR=x"}, "/q TARGETDIR=x"},
      {{"/extract:a b"}, "/extract:\"a b\""},
      {{"/OriginalPath:/media/usb/my setup"}, "/OriginalPath:\"/media/usb/my setup\""},
      {{"PROP=a b"}, "\"PROP=a b\""},
      {{"/i", "my file.msi"}, "/i \"my file.msi\""},
      {{"C:\\x\\", "PROP=\"a b\""}, "C:\\x\\ \"PROP=\\\"a b\\\"\""},
      {{"DIR=C:\\x y\\"}, "\"DIR=C:\\x y\\\\\""},
      {{""}, "\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(join(c.args), c.joined) << c.args.join('|').toStdString();
}

// Every argument comes back whole and unchanged from the split that the
// programs the setup starts get their command line through.
TEST(SetupCommandLineTest, HostileArgumentsSurviveJoinAndSplit) {
  const QStringList hostile = {
      "PROP=\"a b\"",
      "PROP=\"ab\"",
      "DIR=C:\\x y\\",
      "C:\\x y\\\\",
      "a\\\"b",
      "a\\\\\"b c",
      "\\\\server\\share\\",
      "\"",
      "\"\"",
      "",
      " ",
      "tab\there",
      "/extract:a b",
      "/name:\"v\" w\\",
      "/a b:c d",
      "/l*v",
      "line\nbreak",
      "%1 %2",
      "\\\"",
      "\"\\",
  };
  for (const QString& arg : hostile) {
    const QStringList args{"/qb", arg, "X=1"};
    EXPECT_EQ(ShellOpen::splitCommandLine(join(args)), args)
        << arg.toStdString() << " joined as " << join(args).toStdString();
  }
  EXPECT_EQ(ShellOpen::splitCommandLine(join(hostile)), hostile);
}

TEST(SetupCommandLineTest, AQuotedSwitchValueReadsBackAsJoinWroteIt) {
  for (const QString& folder :
       QStringList{"/tmp/a b/", "/tmp/a b\\", "/tmp/say \"hi\"/", "/tmp/q\"", "/tmp/\\\" x"}) {
    const QString cmdLine = join({"/q", "/extract:" + folder, "/OriginalPath:" + folder});
    EXPECT_EQ(switchValue(cmdLine, "/extract:"), folder) << cmdLine.toStdString();
    EXPECT_EQ(switchValue(cmdLine, "/OriginalPath:"), folder) << cmdLine.toStdString();
  }
}

TEST(SetupCommandLineTest, SwitchValueEndsAtQuoteBlankOrEnd) {
  const struct {
    QString cmdLine;
    std::optional<QString> value;
  } cases[] = {
      {"/extract:\"a b\" /q", QString("a b")},
      {"/extract:a b", QString("a")},
      {"x /extract:/tmp/out", QString("/tmp/out")},
      {"/extract:\"unterminated value", QString("unterminated value")},
      {"/extract:", QString("")},
      {"/extract: /q", QString("")},
      {"/extract:\"\"", QString("")},
      {"/Extract:x", std::nullopt},
      {"/q", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(switchValue(c.cmdLine, "/extract:"), c.value) << c.cmdLine.toStdString();
}

TEST(SetupCommandLineTest, SwitchesAreCaseSensitiveSubstrings) {
  EXPECT_TRUE(hasSwitch("TARGET=/helpdesk", "/help"));
  EXPECT_TRUE(hasSwitch("a/?b", "/?"));
  EXPECT_FALSE(hasSwitch("/HELP", "/help"));
}

TEST(SetupCommandLineTest, SetupPropertiesNameTheProgramAndItsFolder) {
  EXPECT_EQ(AppendSetupProperties("/qn", "/media/usb disk/setup"),
            "/qn OV_SETUPEXEPATH=\"/media/usb disk/setup\" SETUPEXEDIR=\"/media/usb disk/\" ");
  EXPECT_EQ(AppendSetupProperties("", "/setup"), " OV_SETUPEXEPATH=\"/setup\" SETUPEXEDIR=\"/\" ");
  const QString odd = "/media/say \"hi\"\\/set\"up";
  EXPECT_EQ(ShellOpen::splitCommandLine(AppendSetupProperties("/qb", odd)),
            QStringList({"/qb", "OV_SETUPEXEPATH=" + odd, "SETUPEXEDIR=/media/say \"hi\"\\/"}));
}
