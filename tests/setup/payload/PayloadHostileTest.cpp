#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <functional>

#include "CPayloadArchive.h"
#include "PayloadTestSupport.h"
#include "TestEnv.h"

namespace {

constexpr qint64 kTrailer = 76;

class PayloadHostileTest : public PayloadTest {
 protected:
  // A payload of what `items` adds, names the setup refuses too.
  QString built(const std::function<void(PayloadBuilder&)>& items) {
    const QString out = m_work + "/setup.bin";
    PayloadBuilder builder = hostileBuilder();
    items(builder);
    EXPECT_EQ(builder.write(out), QString());
    return out;
  }

  // The configuration first (extracted with the table when all is well), a package, then `extra`.
  QString payload(const std::function<void(PayloadBuilder&)>& extra = [](PayloadBuilder&) {}) {
    return built([&](PayloadBuilder& b) {
      b.setFlags(PayloadFormat::Flag::Configuration);
      b.addFile(0, 3, "setup.ini", source("setup.ini", "ini"));
      b.addFile(1, 0, "app.msi", source("app.msi", QByteArray(100000, 'm')));
      extra(b);
    });
  }

  // A side-file payload of the record `name`.
  QString sideFiles(const QString& name) {
    return built([&](PayloadBuilder& b) {
      b.setFlags(PayloadFormat::Flag::SideFiles);
      b.addSideFile(0, name);
    });
  }

  static qint64 trailerAt(const QString& path) { return QFileInfo(path).size() - kTrailer; }
  static quint32 u32At(const QString& path, qint64 offset) {
    return qFromLittleEndian<quint32>(readFile(path).constData() + offset);
  }
  static qint64 tableAt(const QString& path) { return u32At(path, trailerAt(path) + 20); }

  // Opens and reads the table into a fresh folder; nothing may land in it or beside it.
  int readInto(const QString& path) {
    CPayloadArchive archive;
    const QString x = folder("read" + QString::number(m_reads++));
    const int result = openInto(archive, path, x);
    EXPECT_TRUE(tree(x).isEmpty() || result == PayloadError::Ok) << qPrintable(tree(x).join(' '));
    EXPECT_FALSE(QFileInfo::exists(TestEnv::sandbox() + "/evil.txt"));
    EXPECT_FALSE(QFileInfo::exists("/tmp/evil.txt"));
    return result;
  }

  int m_reads = 0;
};

TEST_F(PayloadHostileTest, ATruncatedPayloadIsRefusedAtEveryStructure) {
  const QString out = payload();
  const QByteArray whole = readFile(out);
  const qint64 table = tableAt(out), trailer = trailerAt(out);
  for (qint64 cut : {qint64(0), qint64(100), qint64(6000), qint64(6010), table, table + 10, table + 20,
                     table + 25, trailer, trailer + 30, trailer + 63, trailer + 70, trailer + 75}) {
    SCOPED_TRACE(cut);
    writeFile(out, whole.left(cut));
    EXPECT_NE(readInto(out), PayloadError::Ok);
  }
}

TEST_F(PayloadHostileTest, CountsAndOffsetsOutOfRangeAreABadTrailer) {
  const QString pristine = payload();
  const QByteArray whole = readFile(pristine);
  const qint64 trailer = trailerAt(pristine), table = tableAt(pristine);
  const struct {
    const char* what;
    qint64 at;
    quint32 value;
  } cases[] = {
      {"entry count", trailer + 8, 0xFFFFFFFF},
      {"one entry more", trailer + 8, 3},
      {"format check", trailer + 12, 99},
      {"trailer offset", trailer + 16, 0xFFFFFFF0},
      {"table offset", trailer + 20, 0xFFFFFFF0},
      {"table at the trailer", trailer + 20, quint32(trailer)},
      {"size", table + 8, 0xFFFFFFFF},
      {"offset", table + 12, 0xFFFFFF00},
      {"name length", table + 16, 4097},
      {"huge name length", table + 16, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(pristine, whole);
    patchU32(pristine, c.at, c.value);
    EXPECT_EQ(readInto(pristine), PayloadError::BadTrailer);
  }
}

TEST_F(PayloadHostileTest, DataMayReachTheTrailerButNotOnePast) {
  const QString out = payload();
  const QByteArray whole = readFile(out);
  const qint64 table = tableAt(out);
  const quint32 dataAt = u32At(out, table + 12);
  patchU32(out, table + 8, quint32(trailerAt(out) - dataAt));
  EXPECT_EQ(readInto(out), PayloadError::Ok);
  writeFile(out, whole);
  patchU32(out, table + 8, quint32(trailerAt(out) - dataAt + 1));
  EXPECT_EQ(readInto(out), PayloadError::BadTrailer);
}

TEST_F(PayloadHostileTest, ANameOf4096BytesIsReadAndOneMoreIsRefused) {
  const QString part(255, 'n');
  QString name = QStringList(16, part).join('\\');  // 4095 bytes
  for (const auto& [last, result] :
       {std::pair{"x", PayloadError::Ok}, std::pair{"xy", PayloadError::BadTrailer}}) {
    SCOPED_TRACE(last);
    EXPECT_EQ(readInto(built([&](PayloadBuilder& b) { b.addFile(1, 4, name + last, source("a", "a")); })),
              result);
  }
}

TEST_F(PayloadHostileTest, NamesThatCouldLeaveTheFolderAreABadTrailer) {
  const QString evil = source("evil", "evil");
  for (const char* name :
       {"..\\evil.txt", "sub\\..\\..\\evil.txt", "../evil.txt", "/tmp/evil.txt", "\\evil.txt", "sub\\",
        "a\\.\\evil.txt", "", "a\\\\evil.txt", "C:\\evil.txt", "c:evil.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(readInto(payload([&](PayloadBuilder& b) { b.addFile(100, 4, name, evil); })),
              PayloadError::BadTrailer);
  }
}

// A drive is an ASCII letter, either case, then a colon; the characters beside the letters are plain.
// A NUL anywhere is refused, so that no name is read only up to it.
TEST_F(PayloadHostileTest, DriveLettersAndNulsInNamesAreABadTrailer) {
  const QString nul(QChar(0));
  const struct {
    QString name;
    int result;
  } cases[] = {
      {"C:", PayloadError::BadTrailer},
      {"a:x.txt", PayloadError::BadTrailer},
      {"z:x.txt", PayloadError::BadTrailer},
      {"A:x.txt", PayloadError::BadTrailer},
      {"Z:x.txt", PayloadError::BadTrailer},
      {"@:x.txt", PayloadError::Ok},
      {"[:x.txt", PayloadError::Ok},
      {"`:x.txt", PayloadError::Ok},
      {"{:x.txt", PayloadError::Ok},
      {"1:x.txt", PayloadError::Ok},
      {QString::fromUtf8("\u00e9:x.txt"), PayloadError::Ok},
      {"ab:x.txt", PayloadError::Ok},
      {"C", PayloadError::Ok},
      {nul, PayloadError::BadTrailer},
      {"x.txt" + nul, PayloadError::BadTrailer},
      {"x.txt" + nul + "y", PayloadError::BadTrailer},
      {nul + "x.txt", PayloadError::BadTrailer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    EXPECT_EQ(readInto(payload([&](PayloadBuilder& b) { b.addFile(100, 4, c.name, source("n", "n")); })),
              c.result);
    EXPECT_EQ(readInto(sideFiles(c.name)), c.result);
  }
}

TEST_F(PayloadHostileTest, ACompressedBlockNeedsAFolderOfItsOwn) {
  const QString out = payload([&](PayloadBuilder& b) {
    b.addBlock(2, "app.lzma");
    b.addMember("app.msi", source("m", "m"));
  });
  EXPECT_EQ(readInto(out), PayloadError::BadTrailer);
}

TEST_F(PayloadHostileTest, SideFileRecordsAreCheckedLikeTheTable) {
  EXPECT_EQ(readInto(sideFiles("..\\evil.msi")), PayloadError::BadTrailer);

  const QString out = sideFiles("app.msi");
  const QByteArray whole = readFile(out);
  const qint64 trailer = trailerAt(out);
  const qint64 records = u32At(out, trailer + 4);
  for (const auto& [at, value] : {std::pair{trailer, 0xFFFFFFFFu}, std::pair{trailer + 4, 0xFFFFFF00u},
                                  std::pair{records + 4, 4097u}, std::pair{records + 4, 8u}}) {
    SCOPED_TRACE(at);
    writeFile(out, whole);
    patchU32(out, at, value);
    EXPECT_EQ(readInto(out), PayloadError::BadTrailer);
  }
}

TEST_F(PayloadHostileTest, AShortCopyIsAFileErrorAndLeavesNoPartialFile) {
  const QString out = payload();
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
  ASSERT_TRUE(QFile::resize(out, qint64(archive.entries()[1].offset) + 5000));
  EXPECT_EQ(archive.ExtractEntry(1, x), PayloadError::FileError);
  EXPECT_FALSE(archive.isExtracted(1));
  EXPECT_EQ(tree(x), QStringList{"setup.ini"});
}

TEST_F(PayloadHostileTest, ExtractionNeverWritesThroughAPlantedLink) {
  const QString outside = folder("outside");
  writeFile(outside + "app.msi", "mine");
  const QString out = payload([&](PayloadBuilder& b) { b.addFile(1, 4, "sub\\evil.txt", source("e", "e")); });
  // A link in place of a folder stops the extraction; one in place of the file is removed as itself.
  const struct {
    const char* planted;
    int index;
    int result;
  } cases[] = {{"sub", 2, PayloadError::FileError}, {"app.msi", 1, PayloadError::Ok}};
  for (const auto& [planted, index, result] : cases) {
    SCOPED_TRACE(planted);
    CPayloadArchive archive;
    const QString x = folder(QString("x") + planted);
    const QString target = QString(planted) == "sub" ? outside : outside + "app.msi";
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(x + planted).constData()),
              0);
    ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractEntry(index, x), result);
    EXPECT_EQ(QFileInfo(x + planted).isSymLink(), result != PayloadError::Ok);
    EXPECT_EQ(tree(outside), QStringList{"app.msi"});
    EXPECT_EQ(readFile(outside + "app.msi"), "mine");
  }
}

TEST_F(PayloadHostileTest, CleanUpNeverDeletesThroughALink) {
  const QString outside = folder("outside");
  writeFile(outside + "evil.txt", "mine");
  const QString out = payload([&](PayloadBuilder& b) { b.addFile(1, 4, "sub\\evil.txt", source("e", "e")); });
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
  ASSERT_EQ(archive.ExtractAll(), PayloadError::Ok);
  ASSERT_TRUE(QDir(x + "sub").removeRecursively());
  ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(x + "sub").constData()), 0);
  archive.CleanupArchive();
  EXPECT_EQ(readFile(outside + "evil.txt"), "mine");
  EXPECT_EQ(tree(x), QStringList{"sub"});
}

}  // namespace
