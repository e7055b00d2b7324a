#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "CPayloadArchive.h"
#include "ContainedPath.h"
#include "DecompressorTestSupport.h"
#include "TestEnv.h"

namespace {

using PayloadDecompressorTest = DecompressorTest;

TEST_F(PayloadDecompressorTest, TheLaunchGroupBringsTheLibraryAndTheBlockUnpacksBelowItsFolder) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(prepare(archive, compressedPayload(goodMembers()), x), PayloadError::Ok);
  EXPECT_EQ(tree(x), QStringList{"KVTdecompress.so"});
  EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::Ok);
  EXPECT_EQ(tree(x),
            QStringList({"KVTdecompress.so", "pkg/app.msi", "pkg/data/link", "pkg/data/readme.txt"}));
  EXPECT_EQ(readFile(x + "pkg/app.msi"), "the package");
  EXPECT_EQ(readFile(x + "pkg/data/link"), QByteArray(300000, 'r'));
}

// Records what the decompressor reports, and cancels from a chosen step on.
class RecordingProgress : public IExtractProgress {
 public:
  explicit RecordingProgress(int cancelAt) : m_cancelAt(cancelAt) {}
  void begin(uint32_t total) override { totals.push_back(total); }
  int step(uint32_t position) override {
    positions.push_back(position);
    return cancelled();
  }
  int cancelled() override { return m_cancelAt >= 0 && int(positions.size()) >= m_cancelAt; }
  std::vector<uint32_t> totals;
  std::vector<uint32_t> positions;

 private:
  int m_cancelAt;
};

TEST_F(PayloadDecompressorTest, TheDecompressorReportsProgressAndStopsWhenCancelled) {
  CPayloadArchive archive;
  const QString payload = compressedPayload(goodMembers());
  ASSERT_EQ(openInto(archive, payload, folder("x")), PayloadError::Ok);
  const PayloadEntry& block = archive.entries()[1];
  for (int cancelAt : {-1, 0, 1}) {
    SCOPED_TRACE(cancelAt);
    const QString destination = folder("dest" + QString::number(cancelAt + 1));
    RecordingProgress progress(cancelAt);
    const int result = runDecompressor(payload, QFile::encodeName(destination), &progress);
    EXPECT_EQ(progress.totals, std::vector<uint32_t>{block.size});
    EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
    if (cancelAt < 0) {
      EXPECT_EQ(result, 0);
      ASSERT_FALSE(progress.positions.empty());
      EXPECT_LE(progress.positions.back(), block.size);
      EXPECT_EQ(tree(destination).size(), 3);
    } else {
      EXPECT_LT(result, 0);
      EXPECT_EQ(int(progress.positions.size()), cancelAt);
      // What a stopped block wrote was never checked by xz: none of it stays.
      EXPECT_TRUE(tree(destination).isEmpty()) << qPrintable(tree(destination).join(' '));
    }
  }
}

TEST_F(PayloadDecompressorTest, CancelInTheDialogGives14) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(prepare(archive, compressedPayload(goodMembers()), x), PayloadError::Ok);
  // Queued before the dialog comes up, so it runs first in the dialog's own loop.
  QMetaObject::invokeMethod(
      qApp,
      [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QAbstractButton*>("btnCancel")->click();
      },
      Qt::QueuedConnection);
  EXPECT_EQ(archive.RunExtractFilesDll("Setup", false), PayloadError::DecompressorCancelled);
  EXPECT_EQ(tree(x), QStringList{"KVTdecompress.so"});
}

// The builder refuses a block without the library before it; its hostile mode writes one.
TEST_F(PayloadDecompressorTest, AMissingLibraryGives11) {
  const struct {
    const char* what;
    QString library;  // empty for none in the table
    bool extracted;
  } cases[] = {{"not extracted", decompressorPath(), false},
               {"not a library", source("t", "text"), true},
               {"none in the table", {}, true}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PayloadBuilder builder = hostileBuilder();
    builder.setFlags(PayloadFormat::Flag::Compressed);
    if (!c.library.isEmpty()) builder.addFile(2, 7, "KVTdecompress.so", c.library);
    builder.addBlock(2, "pkg\\app.lzma");
    builder.addMember("app.msi", source("app.msi", "the package"));
    const QString out = m_work + "/library.bin";
    ASSERT_EQ(builder.write(out), QString());
    CPayloadArchive archive;
    const QString x = folder("x" + QString::number(n++));
    ASSERT_EQ(c.extracted ? prepare(archive, out, x) : openInto(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::DecompressorMissing);
  }
}

TEST_F(PayloadDecompressorTest, NoBlockGives12) {
  PayloadBuilder builder = hostileBuilder();
  builder.setFlags(PayloadFormat::Flag::Compressed);
  builder.addFile(2, 7, "KVTdecompress.so", decompressorPath());
  const QString out = m_work + "/noblock.bin";
  ASSERT_EQ(builder.write(out), QString());
  CPayloadArchive archive;
  ASSERT_EQ(prepare(archive, out, folder("x")), PayloadError::Ok);
  EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::NoCompressedBlock);
  EXPECT_EQ(archive.ExtractCompressedOnly({}), PayloadError::NoCompressedBlock);
}

TEST_F(PayloadDecompressorTest, ABlockThatIsNoArchiveGives13) {
  const QString out = m_work + "/bad.bin";
  ASSERT_TRUE(build(out, {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--file",
                          "2:6:pkg\\app.lzma=" + source("garbage", QByteArray(5000, 'g'))}));
  CPayloadArchive archive;
  ASSERT_EQ(prepare(archive, out, folder("x")), PayloadError::Ok);
  EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::DecompressorFailed);
}

// The builder refuses these members; its hostile mode writes them as a hostile block would hold them.
TEST_F(PayloadDecompressorTest, HostileBlockMembersGive13AndNothingLandsOutsideTheBlocksFolder) {
  const QString evil = source("evil", "evil");
  const QString absolute = TestEnv::sandbox() + "/abs-evil.txt";
  const struct {
    QByteArray stored;
    QString source;  // empty for a link
    QByteArray target;
  } hostile[] = {
      {"../evil.txt", evil, {}},
      {"data/../../evil.txt", evil, {}},
      {QFile::encodeName(absolute), evil, {}},
      {"out", {}, "../../.."},
      {"out", {}, QFile::encodeName(TestEnv::sandbox())},
      {"data/out", {}, "../../evil.txt"},
  };
  int n = 0;
  for (const auto& member : hostile) {
    SCOPED_TRACE(member.stored.toStdString() + " " + member.target.toStdString());
    PayloadBuilder builder = hostileBuilder();
    builder.setFlags(PayloadFormat::Flag::Compressed);
    builder.addFile(2, 7, "KVTdecompress.so", decompressorPath());
    builder.addBlock(2, "pkg\\app.lzma");
    if (member.source.isEmpty())
      builder.addMemberLink(member.stored, member.target);
    else
      builder.addMember(member.stored, member.source);
    builder.addMember("out/evil.txt", evil);
    const QString out = m_work + "/hostile.bin";
    ASSERT_EQ(builder.write(out), QString());
    CPayloadArchive archive;
    const QString x = folder("x" + QString::number(n++));
    ASSERT_EQ(prepare(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::DecompressorFailed);
    EXPECT_FALSE(QFileInfo::exists(x + "evil.txt"));
    EXPECT_FALSE(QFileInfo::exists(TestEnv::sandbox() + "/evil.txt"));
    EXPECT_FALSE(QFileInfo::exists(absolute));
    EXPECT_TRUE(tree(x).filter("evil").isEmpty()) << qPrintable(tree(x).join(' '));
  }
}

// The builder refuses these links; its hostile mode writes them. "e" leads above the destination
// only through "d/s", whichever comes first, and a loop leads nowhere: the decompressor refuses the
// block and leaves nothing of it, while what was there before stays.
TEST_F(PayloadDecompressorTest, LinksThatLeadOutThroughOtherLinksGive13AndLeaveNothingOfTheBlock) {
  const std::vector<std::pair<QByteArray, QByteArray>> cases[] = {
      {{"d/s", ".."}, {"e", "d/s/../.."}},
      {{"e", "d/s/../.."}, {"d/s", ".."}},
      {{"e", "d/s/.."}, {"d/s", ".."}},
      {{"a", "b"}, {"b", "a"}},
  };
  int n = 0;
  for (const auto& links : cases) {
    SCOPED_TRACE(links.front().first.toStdString() + "->" + links.front().second.toStdString());
    PayloadBuilder builder = hostileBlock();
    builder.addMember("app.msi", source("app.msi", "the package"));
    for (const auto& [link, target] : links) builder.addMemberLink(link, target);
    const QString destination = folder("links" + QString::number(n++) + "/pkg");
    writeFile(destination + "mine.txt", "mine");
    EXPECT_EQ(runHostile(builder, destination), 1);
    EXPECT_EQ(tree(destination), QStringList{"mine.txt"});
  }
}

// A hard link is made through the links already there: through "e", which leads above the
// destination once "d/s" is made, it would take in a file from outside; to "e", it is one more
// name of that link.
TEST_F(PayloadDecompressorTest, AHardLinkThroughOrToALinkThatLeadsOutGives13AndLeavesNoneOfIt) {
  const QString secret = TestEnv::sandbox() + "/hard-secret";
  writeFile(secret, "mine");
  const QString made = folder("hard-block");
  ASSERT_TRUE(QDir().mkpath(made + "d"));
  ASSERT_EQ(::symlink("..", QFile::encodeName(made + "d/s").constData()), 0);
  ASSERT_EQ(::symlink("d/s/../..", QFile::encodeName(made + "e").constData()), 0);
  writeFile(made + "victim", "v");
  for (const auto& [existing, name] : {std::pair{"victim", "h-victim"}, std::pair{"e", "h-e"}})
    ASSERT_EQ(::linkat(AT_FDCWD, QFile::encodeName(made + existing).constData(), AT_FDCWD,
                       QFile::encodeName(made + name).constData(), 0),
              0);
  const struct {
    const char* what;
    QStringList entries;  // tar's arguments, in the block's order
  } cases[] = {
      // Only the hard link's target is renamed: "h-victim" is linked to "e/hard-secret".
      {"through", {"--transform", "s,^victim$,e/hard-secret,RSh", "d/s", "e", "victim", "h-victim"}},
      {"to", {"e", "h-e", "d/s"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QProcess tar;
    tar.setWorkingDirectory(made);
    tar.start("tar", QStringList{"--format=pax", "-cJf", m_work + "/hard.tar.xz"} + c.entries);
    ASSERT_TRUE(tar.waitForFinished(60000));
    ASSERT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
    const QString out = m_work + "/hard.bin";
    ASSERT_TRUE(build(out, {"--file", "2:7:KVTdecompress.so=" + decompressorPath(), "--file",
                            "2:6:pkg\\app.lzma=" + m_work + "/hard.tar.xz"}));
    const QString destination = folder("hard" + QString::number(n++) + "/dest");
    EXPECT_EQ(runDecompressor(out, QFile::encodeName(destination)), 1);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(secret).constData(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(readFile(secret), "mine");
    EXPECT_TRUE(tree(destination).isEmpty()) << qPrintable(tree(destination).join(' '));
  }
}

// The block's folder reaches the decompressor by a short name of the setup's own: a
// destination "<folder>/pkg/" that would not fit the record's 260 bytes extracts too.
TEST_F(PayloadDecompressorTest, ADestinationLongerThanTheRecordStillExtracts) {
  const qint64 base = TestEnv::sandbox().size() + 1;
  const QString payload = compressedPayload(goodMembers());
  for (const int length : {259, 260}) {
    SCOPED_TRACE(length);
    const QString x = folder(QString(length - base - 5, char('a' + length % 26)));
    ASSERT_EQ((x + "pkg/").size(), length);
    CPayloadArchive archive;
    ASSERT_EQ(prepare(archive, payload, x), PayloadError::Ok);
    EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::Ok);
    EXPECT_EQ(readFile(x + "pkg/app.msi"), "the package");
  }
}

TEST_F(PayloadDecompressorTest, ExtractLzmaThenDeleteLzmaLeaveTheExtractionFolderAlone) {
  const QString payload = compressedPayload(goodMembers());
  const QString configured = folder("configured");
  const QString outside = folder("outside");
  writeFile(outside + "keep.txt", "mine");
  {
    CPayloadArchive archive;
    ASSERT_EQ(openInto(archive, payload, folder("x")), PayloadError::Ok);
    EXPECT_EQ(archive.ExtractCompressedOnly(configured), PayloadError::Ok);
    EXPECT_EQ(tree(configured).size(), 4);
    archive.CleanupArchive();
  }
  ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                      QFile::encodeName(configured + "pkg/data/planted").constData()),
            0);
  EXPECT_EQ(tree(configured),
            QStringList({"pkg/app.msi", "pkg/data/link", "pkg/data/planted", "pkg/data/readme.txt"}));
  CPayloadArchive archive;
  ASSERT_EQ(openInto(archive, payload, folder("x")), PayloadError::Ok);
  EXPECT_EQ(archive.DeleteCompressedFolder(configured), PayloadError::Ok);
  EXPECT_TRUE(tree(configured).isEmpty());
  EXPECT_TRUE(QFileInfo(configured).isDir());
  EXPECT_EQ(tree(outside), QStringList{"keep.txt"});
}

TEST_F(PayloadDecompressorTest, ExtractAllUnpacksTheBlockAndDropsTheLibraryAtTheEnd) {
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, compressedPayload(goodMembers()), x), PayloadError::Ok);
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  archive.setKeepState(KeepState::Everything);
  archive.CleanupArchive();
  EXPECT_EQ(tree(x), QStringList({"pkg/app.msi", "pkg/data/link", "pkg/data/readme.txt"}));
}

}  // namespace
