#include <gtest/gtest.h>

#include "SetupCommandLine.h"

using namespace SetupCommandLine;

TEST(SetupCommandLineTest, JoinQuotesOnlyArgumentsWithBlanks) {
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
  };
  for (const auto& c : cases) EXPECT_EQ(join(c.args), c.joined) << c.args.join('|').toStdString();
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
}
