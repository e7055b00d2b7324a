#include <gtest/gtest.h>

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
