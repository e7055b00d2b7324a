#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <string>
#include <vector>

#include "DisplayPlatform.h"

// Without a display Qt's default platform aborts the program; a platform the user
// chose is kept, whatever it is.
TEST(DisplayPlatformTest, OnlyNoDisplayAndNoChosenPlatformRunsHeadless) {
  const struct {
    const char* display;
    const char* wayland;
    const char* platform;
    QStringList arguments;
    const char* expected;
  } cases[] = {
      {"", "", "", {}, "offscreen"},
      {"", "", "", {"/extract:x", "plans.kvt"}, "offscreen"},
      {":0", "", "", {}, ""},
      {"", "wayland-0", "", {}, ""},
      {"", "", "xcb", {}, ""},
      {"", "", "minimal", {}, ""},
      {"", "", "", {"-platform", "xcb"}, ""},
      {"", "", "", {"/PRINT", "--platform", "vnc"}, ""},
      {"", "", "", {"-platformx"}, "offscreen"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.display) + "|" + c.wayland + "|" + c.platform + "|" +
                 c.arguments.join(' ').toStdString());
    EXPECT_EQ(DisplayPlatform::headlessFallback(c.display, c.wayland, c.platform, c.arguments),
              QByteArray(c.expected));
  }
}

namespace {

// Runs the fallback on this process's own environment, without a display, with
// `platform` in QT_QPA_PLATFORM (unset when null) and `arguments` after the
// program name; gives back what QT_QPA_PLATFORM holds then ("<unset>" when nothing).
QByteArray platformAfterStartWith(const char* platform, std::vector<std::string> arguments) {
  const QProcessEnvironment saved = QProcessEnvironment::systemEnvironment();
  const char* const names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  for (const char* name : names) qunsetenv(name);
  if (platform) qputenv("QT_QPA_PLATFORM", platform);
  arguments.insert(arguments.begin(), "KVTsubmit");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  DisplayPlatform::runHeadlessWithoutDisplay(int(arguments.size()), argv.data());
  const QByteArray result =
      qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? qgetenv("QT_QPA_PLATFORM") : QByteArray("<unset>");
  for (const char* name : names)
    if (saved.contains(name))
      qputenv(name, saved.value(name).toLocal8Bit());
    else
      qunsetenv(name);
  return result;
}

}  // namespace

// The same rule, read from the process's own environment and arguments.
TEST(DisplayPlatformTest, TheProcessKeepsThePlatformItsUserNamed) {
  EXPECT_EQ(platformAfterStartWith("minimal", {}), "minimal");
  EXPECT_EQ(platformAfterStartWith(nullptr, {"-platform", "minimal"}), "<unset>");
  EXPECT_EQ(platformAfterStartWith(nullptr, {"plans.kvt", "--platform", "minimal"}), "<unset>");
  EXPECT_EQ(platformAfterStartWith(nullptr, {"plans.kvt"}), "offscreen");
}
