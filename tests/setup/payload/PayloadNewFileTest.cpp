#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CPayloadArchive.h"
#include "PayloadTestSupport.h"

namespace {

class PayloadNewFileTest : public PayloadTest {
 protected:
  // All that `fd` reads from its start, without moving its offset.
  static QByteArray readFrom(int fd) {
    QByteArray bytes;
    char chunk[65536];
    ssize_t got = 0;
    while ((got = ::pread(fd, chunk, sizeof chunk, off_t(bytes.size()))) > 0) bytes.append(chunk, got);
    return bytes;
  }
};

// A process still reading an older copy (the installer of an earlier run)
// keeps reading it whole: the extracted file is a new one in its place.
TEST_F(PayloadNewFileTest, AFileExtractedOverAnOlderCopyStillOpenLeavesThatCopyWhole) {
  const QByteArray older(300000, 'o'), newer(200000, 'n');
  const QString newPackage = source("app.msi", newer);
  const struct {
    const char* route;
    QStringList items;
  } cases[] = {
      {"stored", {"--file", "1:0:pkg\\app.msi=" + newPackage}},
      {"compressed block",
       {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block", "2:pkg\\app.lzma",
        "--member", "app.msi=" + newPackage}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.route);
    const QString out = m_work + "/setup.bin";
    ASSERT_TRUE(build(out, c.items));
    const QString x = folder(QString("x-") + c.route);
    const QString package = x + "pkg/app.msi";
    ASSERT_TRUE(QDir().mkpath(x + "pkg"));
    writeFile(package, older);
    const UniqueFd reader(::open(QFile::encodeName(package).constData(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(reader.valid());
    CPayloadArchive archive;
    ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
    EXPECT_EQ(readFrom(reader.get()), older);
    EXPECT_EQ(readFile(package), newer);
  }
}

TEST_F(PayloadNewFileTest, AFolderWhereTheFileGoesFailsTheExtractionAndStays) {
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--file", "1:0:app.msi=" + source("app.msi", "the package")}));
  const struct {
    const char* what;
    QStringList inside;
  } cases[] = {{"empty", {}}, {"holding a file", {"keep.txt"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString x = folder(QString("x-") + c.what);
    ASSERT_TRUE(QDir().mkpath(x + "app.msi"));
    for (const QString& name : c.inside) writeFile(x + "app.msi/" + name, "mine");
    CPayloadArchive archive;
    ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractEntry(0, x), PayloadError::FileError);
    EXPECT_FALSE(archive.isExtracted(0));
    EXPECT_TRUE(QFileInfo(x + "app.msi").isDir());
    EXPECT_EQ(QDir(x + "app.msi").entryList(QDir::Files), c.inside);
  }
}

// Nothing is written through a link in the block's folder: one in place of a
// file or of a folder is removed as itself.
TEST_F(PayloadNewFileTest, TheDecompressorRemovesALinkInTheWayAsItself) {
  const QString outside = folder("outside");
  writeFile(outside + "app.msi", "mine");
  const QString out = m_work + "/setup.bin";
  ASSERT_TRUE(build(out, {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--block",
                          "2:pkg\\app.lzma", "--member", "app.msi=" + source("app.msi", "the package"),
                          "--member", "data/readme.txt=" + source("readme", "read me")}));
  const QString x = folder("x");
  ASSERT_TRUE(QDir().mkpath(x + "pkg"));
  for (const auto& [planted, target] : {std::pair{"pkg/app.msi", "app.msi"}, std::pair{"pkg/data", ""}})
    ASSERT_EQ(::symlink(QFile::encodeName(outside + target).constData(),
                        QFile::encodeName(x + planted).constData()),
              0);
  CPayloadArchive archive;
  ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::Ok);
  EXPECT_FALSE(QFileInfo(x + "pkg/app.msi").isSymLink());
  EXPECT_FALSE(QFileInfo(x + "pkg/data").isSymLink());
  EXPECT_EQ(readFile(x + "pkg/app.msi"), "the package");
  EXPECT_EQ(readFile(x + "pkg/data/readme.txt"), "read me");
  EXPECT_EQ(tree(outside), QStringList{"app.msi"});
  EXPECT_EQ(readFile(outside + "app.msi"), "mine");
}

}  // namespace
