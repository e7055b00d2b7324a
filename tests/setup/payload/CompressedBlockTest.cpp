#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <climits>
#include <functional>
#include <thread>

#include "ContainedPath.h"
#include "DecompressorTestSupport.h"
#include "TestEnv.h"

namespace {

class CompressedBlockTest : public DecompressorTest {
 protected:
  // The bytes of the file at `relative` below `root`, read through held folders: the path may
  // be longer than the system names.
  static QByteArray readBelow(const QString& root, const QByteArray& relative) {
    const qsizetype slash = relative.lastIndexOf('/');
    const UniqueFd folder =
        ContainedPath::openFolder(root, QFile::decodeName(slash < 0 ? QByteArray() : relative.left(slash)), false);
    const UniqueFd file(::openat(folder.get(), relative.mid(slash + 1).constData(), O_RDONLY | O_CLOEXEC));
    QByteArray bytes;
    char chunk[65536];
    ssize_t got = 0;
    while (file.valid() && (got = ::read(file.get(), chunk, sizeof chunk)) > 0) bytes.append(chunk, got);
    return bytes;
  }

  // A path of `length` bytes in parts of 200 bytes and a shorter last one.
  static QByteArray pathOf(int length) {
    QByteArray path;
    while (length - path.size() > 200) path += QByteArray(199, 'p') + '/';
    return path + QByteArray(length - path.size(), 'q');
  }

  // Bytes that do not compress, so that the block holds them as they are.
  static QByteArray noise(int size, quint64 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes) {
      seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
      byte = char(seed);
    }
    return bytes;
  }
};

// Calls `at` at the first step the decompressor reports, that is while the first file is written.
class SteppedProgress : public IExtractProgress {
 public:
  explicit SteppedProgress(std::function<void()> at) : m_at(std::move(at)) {}
  void begin(uint32_t) override {}
  int step(uint32_t) override {
    if (m_at) std::exchange(m_at, {})();
    return 0;
  }
  int cancelled() override { return 0; }

 private:
  std::function<void()> m_at;
};

// Every member is made in a folder held open, never by its whole path: a destination whose path
// is longer than the system names takes files and links whole.
TEST_F(CompressedBlockTest, ADestinationOfAnyLengthUnpacksWhole) {
  const QString payload = compressedPayload(goodMembers());
  const QString base = QFileInfo(folder("long")).canonicalFilePath() + "/";
  QString relative;
  while ((base + relative).size() <= PATH_MAX + 200) relative += QString(200, 'd') + "/";
  const UniqueFd held = ContainedPath::openFolder(base, relative, true);
  ASSERT_TRUE(held.valid());
  EXPECT_EQ(runDecompressor(payload, "/proc/self/fd/" + QByteArray::number(held.get()) + "/"), 0);
  const QByteArray unpacked = QFile::encodeName(relative);
  EXPECT_EQ(readBelow(base, unpacked + "app.msi"), "the package");
  EXPECT_EQ(readBelow(base, unpacked + "data/link"), QByteArray(300000, 'r'));
}

// A member's path holds as much as the system names (4095 bytes, parts of 255), a link chain as
// many links as it follows (40); one more is refused, and nothing of the block stays.
TEST_F(CompressedBlockTest, PathsPartsAndLinkChainsHoldAtTheirLimitsAndOneMoreGives13) {
  const QByteArray climb = QByteArray("../").repeated(20);
  const auto chain = [](PayloadBuilder& builder, int links) {
    for (int n = 1; n <= links; ++n)
      builder.addMemberLink("l" + QByteArray::number(n), n == links ? "app.msi" : "l" + QByteArray::number(n + 1));
  };
  const struct {
    const char* what;
    std::function<void(PayloadBuilder&)> add;
    QByteArray read;  // a name that reads the package when the block unpacks
  } cases[] = {
      {"a file at 4095 bytes", [&](PayloadBuilder& b) { b.addMember(pathOf(4095), source("f", "the package")); },
       pathOf(4095)},
      {"a file at 4096 bytes", [&](PayloadBuilder& b) { b.addMember(pathOf(4096), source("f", "the package")); },
       {}},
      {"a link at 4095 bytes", [&](PayloadBuilder& b) { b.addMemberLink(pathOf(4095), climb + "app.msi"); },
       pathOf(4095)},
      {"a link at 4096 bytes", [&](PayloadBuilder& b) { b.addMemberLink(pathOf(4096), climb + "app.msi"); }, {}},
      {"a part of 255 bytes",
       [&](PayloadBuilder& b) { b.addMember("d/" + QByteArray(255, 'n'), source("f", "the package")); },
       "d/" + QByteArray(255, 'n')},
      {"a part of 256 bytes",
       [&](PayloadBuilder& b) { b.addMember("d/" + QByteArray(256, 'n'), source("f", "the package")); }, {}},
      {"a chain of 40 links", [&](PayloadBuilder& b) { chain(b, 40); }, "l1"},
      {"a chain of 41 links", [&](PayloadBuilder& b) { chain(b, 41); }, {}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PayloadBuilder builder = hostileBlock();
    builder.addMember("app.msi", source("app.msi", "the package"));
    c.add(builder);
    const QString destination = folder("limits" + QString::number(n++));
    writeFile(destination + "mine.txt", "mine");
    EXPECT_EQ(runHostile(builder, destination), c.read.isEmpty() ? 1 : 0);
    if (c.read.isEmpty())
      EXPECT_EQ(tree(destination), QStringList{"mine.txt"});
    else
      EXPECT_EQ(readBelow(destination, c.read), "the package");
  }
}

// A hostile block may name a path far deeper than any the system takes: it is refused at once,
// before a level of it is made.
TEST_F(CompressedBlockTest, AHostilePathOfAnyDepthGives13BeforeAnythingIsMade) {
  for (const int levels : {2048, 300000}) {
    SCOPED_TRACE(levels);
    PayloadBuilder builder = hostileBlock();
    builder.addMember(QByteArray("a/").repeated(levels) + "f", source("f", "f"));
    const QString destination = folder("depth" + QString::number(levels));
    EXPECT_EQ(runHostile(builder, destination), 1);
    EXPECT_TRUE(QDir(destination).isEmpty());
  }
}

// A folder of the block swapped for a link to an outside folder while the block unpacks: the
// members go on into the folder held open, or into a new folder in the link's place; nothing
// goes through the link.
TEST_F(CompressedBlockTest, AFolderSwappedForALinkMeanwhileGetsNothingWrittenThroughIt) {
  const QString outside = folder("outside");
  const QByteArray deep = QByteArray("x/").repeated(20);
  const struct {
    const char* what;
    QByteArrayList after;  // members written after the swap
  } cases[] = {
      {"held", {"d/b.txt", "d/e/c.txt"}},
      // Past the folders held open, "d" is reached again from the destination.
      {"walked to again", {"d/" + deep + "b.txt", "d/c.txt", "d/e/f.txt"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PayloadBuilder builder = hostileBlock();
    builder.addMember("d/a.txt", source("a", QByteArray(300000, 'a')));
    for (const QByteArray& member : c.after) builder.addMember(member, source("m", "member"));
    const QString destination = folder("swap" + QString::number(n++));
    SteppedProgress swap([&] {
      ASSERT_TRUE(QDir().rename(destination + "d", destination + "moved"));
      ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(destination + "d").constData()),
                0);
    });
    EXPECT_EQ(runHostile(builder, destination, &swap), 0);
    EXPECT_TRUE(tree(outside).isEmpty()) << qPrintable(tree(outside).join(' '));
    EXPECT_EQ(readFile(destination + "moved/a.txt"), QByteArray(300000, 'a'));
    for (const QByteArray& member : c.after) {
      const QString name = QString::fromUtf8(member.mid(2));
      EXPECT_TRUE(QFile::exists(destination + "d/" + name) || QFile::exists(destination + "moved/" + name))
          << name.toStdString();
    }
  }
}

// The same swap made over and over by another hand while 3,000 members unpack below "d":
// whatever the timing, nothing lands in the folder the link leads to.
TEST_F(CompressedBlockTest, FoldersSwappedForLinksWhileTheBlockUnpacksNeverLeadItOut) {
  const QString outside = folder("raced-outside");
  PayloadBuilder builder = hostileBlock();
  const QString member = source("m", "member");
  for (int n = 0; n < 3000; ++n) builder.addMember("d/" + QByteArray::number(n % 10) + "/" + QByteArray::number(n), member);
  const QString destination = folder("raced");
  const QByteArray d = QFile::encodeName(destination + "d");
  const QByteArray target = QFile::encodeName(outside);
  ASSERT_TRUE(QDir().mkpath(destination + "d"));
  std::atomic<bool> done = false;
  std::atomic<int> swaps = 0;
  std::thread swapper([&] {
    while (!done) {
      const QByteArray moved = QFile::encodeName(destination + "moved" + QString::number(swaps));
      if (::rename(d.constData(), moved.constData()) == 0 && ::symlink(target.constData(), d.constData()) == 0)
        ++swaps;
    }
  });
  while (swaps == 0) std::this_thread::yield();
  runHostile(builder, destination);
  done = true;
  swapper.join();
  EXPECT_TRUE(tree(outside).isEmpty()) << qPrintable(tree(outside).mid(0, 5).join(' '));
}

// "d/l" leads out through "d/s" only while "d" is the folder; making "d" a link fails, as a folder
// with files stands there. The block fails, and no link of it is left to lead out.
TEST_F(CompressedBlockTest, AnEntryThatFailsLeavesNoLinkThatLeadsOut) {
  PayloadBuilder builder = hostileBlock();
  builder.addMember("app.msi", source("app.msi", "the package"));
  builder.addMember("d/f", source("f", "f"));
  builder.addMemberLink("d/s", "..");
  builder.addMemberLink("d/l", "s/../..");
  builder.addMemberLink("d", "e");
  builder.addMember("e/placeholder", source("p", "p"));
  const QString destination = folder("failed/pkg");
  writeFile(destination + "mine.txt", "mine");
  EXPECT_EQ(runHostile(builder, destination), 1);
  EXPECT_EQ(tree(destination), QStringList{"mine.txt"});
}

// The hard link's own check stops the block at it: the file after it is never made, so the
// older file at that name stays (a later one would have taken its place before the block failed).
TEST_F(CompressedBlockTest, AHardLinkToALinkThatAlreadyLeadsOutStopsTheBlockAtOnce) {
  const QString made = folder("made");
  ASSERT_TRUE(QDir().mkpath(made + "d"));
  ASSERT_EQ(::symlink("..", QFile::encodeName(made + "d/s").constData()), 0);
  ASSERT_EQ(::symlink("d/s/..", QFile::encodeName(made + "e").constData()), 0);
  ASSERT_EQ(::linkat(AT_FDCWD, QFile::encodeName(made + "e").constData(), AT_FDCWD,
                     QFile::encodeName(made + "h").constData(), 0),
            0);
  writeFile(made + "after.txt", "new");
  QProcess tar;
  tar.setWorkingDirectory(made);
  tar.start("tar", {"--format=pax", "-cJf", m_work + "/hard.tar.xz", "d/s", "e", "h", "after.txt"});
  ASSERT_TRUE(tar.waitForFinished(60000));
  ASSERT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
  const QString out = m_work + "/hard.bin";
  ASSERT_TRUE(build(out, {"--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--file",
                          "2:6:pkg\\app.lzma=" + m_work + "/hard.tar.xz"}));
  const QString destination = folder("stopped");
  writeFile(destination + "after.txt", "old");
  EXPECT_EQ(runDecompressor(out, QFile::encodeName(destination)), 1);
  EXPECT_EQ(tree(destination), QStringList{"after.txt"});
  EXPECT_EQ(readFile(destination + "after.txt"), "old");
}

// xz checks its data only at the end of each of its blocks: a damaged block may hand over wrong
// bytes first. Wherever the damage lies, the block fails and no member is left, whole-sized or
// not; what was there before stays.
TEST_F(CompressedBlockTest, ADamagedBlockLeavesNoMemberWithWrongBytes) {
  const QString payload = compressedPayload({"--member", "app.msi=" + source("app.msi", noise(1000000, 1)),
                                             "--member", "data.cab=" + source("data.cab", noise(1000000, 2))});
  CPayloadArchive archive;
  ASSERT_EQ(openInto(archive, payload, folder("table")), PayloadError::Ok);
  const PayloadEntry block = archive.entries()[1];
  const QByteArray intact = readFile(payload);
  for (const double at : {0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9, 0.99}) {
    SCOPED_TRACE(at);
    QByteArray damaged = intact;
    damaged[qsizetype(block.offset + block.size * at)] ^= 0x01;
    writeFile(payload, damaged);
    const QString destination = folder("damaged" + QString::number(int(at * 100)));
    writeFile(destination + "mine.txt", "mine");
    EXPECT_EQ(runDecompressor(payload, QFile::encodeName(destination)), 1);
    EXPECT_EQ(tree(destination), QStringList{"mine.txt"});
  }
}

}  // namespace
