#include <gtest/gtest.h>

#include "DownloadUrl.h"
#include "FormatByteSize.h"

namespace {

TEST(TargetPathFor, PlacesNamesAndUrlFileNames) {
  const struct {
    const char* name;
    const char* url;
    const char* folder;
    const char* expected;
  } cases[] = {
      {"", "http://host/dir/setup.exe", "/dl/", "/dl/setup.exe"},
      {"", "http://host/dir/setup.exe", "/dl", "/dl/setup.exe"},
      {"", "http://host/dir/setup.exe?lang=en#top", "/dl/", "/dl/setup.exe"},
      {"", "ftp://host/pub/a%20b.msi", "/dl/", "/dl/a%20b.msi"},
      {"", "file:///share/dir\\inner\\setup.exe", "/dl/", "/dl/setup.exe"},
      {"", "http://host/dir/", "/dl/", ""},
      {"", "http://host", "/dl/", ""},
      {"", "http://host/..", "/dl/", ""},
      {"other.exe", "http://host/dir/setup.exe", "/dl/", "/dl/other.exe"},
      {"sub/other.exe", "http://host/", "/dl", "/dl/sub/other.exe"},
      {"/elsewhere/x.exe", "http://host/dir/setup.exe", "/dl/", "/elsewhere/x.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(TargetPathFor(c.name, c.url, c.folder), QString(c.expected));
  }
}

TEST(CrackUrl, GivesEveryPartWhole) {
  const QString longHost = QString(120, 'h') + ".example";
  const QString longPath = "/" + QString(150, 'p') + "/setup.exe";
  const UrlParts parts = CrackUrl("HTTPS://user:secret@" + longHost + ":8443" + longPath + "?q=1#frag");
  ASSERT_TRUE(parts.valid);
  EXPECT_EQ(parts.scheme, "https");
  EXPECT_EQ(parts.host, longHost);
  EXPECT_EQ(parts.port, 8443);
  EXPECT_EQ(parts.user, "user");
  EXPECT_EQ(parts.password, "secret");
  EXPECT_EQ(parts.path, longPath);
  EXPECT_EQ(parts.extra, "?q=1#frag");
  EXPECT_EQ(CrackUrl("ftp://host/file").port, 21);
  EXPECT_EQ(CrackUrl("http://host/file").port, 80);
  EXPECT_FALSE(CrackUrl("not a url").valid);
}

TEST(FormatByteSize, CutsToTwoDecimalsOfKilobytesOrMegabytes) {
  const struct {
    qint64 bytes;
    bool wholeKB;
    const char* expected;
  } cases[] = {
      {0, false, "0.00 KB"},
      {10, false, "0.00 KB"},
      {11, false, "0.01 KB"},
      {512, false, "0.50 KB"},
      {1023, false, "0.99 KB"},
      {1024, false, "1.00 KB"},
      {1126, false, "1.09 KB"},
      {1127, false, "1.10 KB"},
      {1048575, false, "1023.99 KB"},
      {1048576, false, "1024.00 KB"},
      {1048577, false, "1.00 MB"},
      {3 * 1048576 + 1048575, false, "3.99 MB"},
      {5LL * 1024 * 1048576, false, "5120.00 MB"},
      {1023, true, "0.99 KB"},
      {1024, true, "1 KB"},
      {1048576, true, "1024 KB"},
      {3 * 1048576 + 1048575, true, "4095 KB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(FormatByteSize(c.bytes, c.wholeKB), QString(c.expected));
  }
}

}  // namespace
