#include <gtest/gtest.h>

#include "FourPartVersion.h"

TEST(FourPartVersion, ParsesDigitRunsAsParts) {
  struct Case {
    const char* text;
    qint32 a, b, c, d;
    int count;
  };
  const Case cases[] = {
      {"6.0", 6, 0, 0, 0, 2},
      {"5.00.2919.6307 build", 5, 0, 2919, 6307, 4},
      {"v1,2-3", 1, 2, 3, 0, 3},
      {"1.2.3.4.5", 1, 2, 3, 4, 4},
      {"", 0, 0, 0, 0, 0},
      {"none", 0, 0, 0, 0, 0},
      {"2147483647.2147483648", 2147483647, 2147483647, 0, 0, 2},
      {"99999999999999999999.1", 2147483647, 1, 0, 0, 2},
  };
  for (const Case& c : cases) {
    const FourPartVersion v = FourPartVersion::Parse(c.text);
    EXPECT_EQ(v.major, c.a) << c.text;
    EXPECT_EQ(v.minor, c.b) << c.text;
    EXPECT_EQ(v.build, c.c) << c.text;
    EXPECT_EQ(v.revision, c.d) << c.text;
    EXPECT_EQ(v.count, c.count) << c.text;
  }
}

TEST(FourPartVersion, AllZeroIsEmpty) {
  EXPECT_TRUE(FourPartVersion::Parse("0.0.0.0").IsEmpty());
  EXPECT_TRUE(FourPartVersion::Parse("").IsEmpty());
  EXPECT_FALSE(FourPartVersion::Parse("0.0.0.1").IsEmpty());
}

TEST(FourPartVersion, ComparesPartByPart) {
  const auto cmp = [](const char* a, const char* b) {
    return FourPartVersion::Parse(a).Compare(FourPartVersion::Parse(b));
  };
  EXPECT_EQ(cmp("1.2", "1.2.0.0"), 0);
  EXPECT_LT(cmp("5.0.2919.6307", "6.0"), 0);
  EXPECT_GT(cmp("6.0.8169.4", "6.0"), 0);
  EXPECT_LT(cmp("1.10", "2.0"), 0);
  EXPECT_GT(cmp("1.0.0.2", "1.0.0.1"), 0);
}

TEST(FourPartVersion, FormatsWithoutTrailingZeroOr65535Parts) {
  const std::pair<const char*, const char*> cases[] = {
      {"6.0.0.0", "6"},          {"5.0.2919.6307", "5.0.2919.6307"}, {"1.0.65535.65535", "1"},
      {"0.0.0.0", "0.0.0.0"},    {"65535.65535", "0.0.0.0"},         {"1.0.2", "1.0.2"},
      {"0.65535.3", "0.65535.3"}};
  for (const auto& [text, formatted] : cases)
    EXPECT_EQ(FourPartVersion::Parse(text).Format(), formatted) << text;
}
