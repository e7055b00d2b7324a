#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "CPayloadArchive.h"
#include "PayloadTestSupport.h"
#include "TestEnv.h"

namespace {

class PayloadDecompressorTest : public PayloadTest {
 protected:
  QStringList goodMembers() {
    return {"--member",      "app.msi=" + source("app.msi", "the package"),
            "--member",      "data/readme.txt=" + source("readme", QByteArray(300000, 'r')),
            "--member-link", "data/link=readme.txt"};
  }

  // The decompressor library, then the block stored as "pkg\app.lzma".
  QString compressedPayload(const QStringList& members, const QStringList& extra = {}) {
    const QString out = m_work + "/setup.bin";
    EXPECT_TRUE(build(out, QStringList{"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(),
                                       "--block", "2:pkg\\app.lzma"} +
                               members + extra));
    return out;
  }
};

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
  void* library = ::dlopen(KVT_DECOMPRESSOR, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr);
  const auto extractFiles = reinterpret_cast<ExtractFilesFunction>(::dlsym(library, "ExtractFiles"));
  ASSERT_NE(extractFiles, nullptr);
  const PayloadEntry& block = archive.entries()[1];
  for (int cancelAt : {-1, 0, 1}) {
    SCOPED_TRACE(cancelAt);
    const QString destination = folder("dest" + QString::number(cancelAt + 1));
    const int fd = ::open(QFile::encodeName(payload).constData(), O_RDONLY);
    ExtractFilesArgs args{fd, block.offset, block.size, {}, nullptr};
    qstrncpy(args.destination, QFile::encodeName(destination).constData(), sizeof args.destination);
    RecordingProgress progress(cancelAt);
    args.progress = &progress;
    const int result = extractFiles(&args);
    ::close(fd);
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
      // A file the stop cut off is gone: nothing left looks whole that is not.
      const std::pair<QString, QByteArray> members[] = {{"app.msi", "the package"},
                                                        {"data/readme.txt", QByteArray(300000, 'r')}};
      for (const auto& [name, bytes] : members) {
        if (!QFile::exists(destination + name)) continue;
        EXPECT_EQ(readFile(destination + name), bytes) << name.toStdString();
      }
    }
  }
  ::dlclose(library);
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

TEST_F(PayloadDecompressorTest, AMissingLibraryGives11) {
  const QStringList library = {"--file", "2:7:KVTdecompress.so=" + decompressorPath()};
  const struct {
    const char* what;
    QStringList library;
    bool extracted;
  } cases[] = {{"not extracted", library, false},
               {"not a library", {"--file", "2:7:KVTdecompress.so=" + source("t", "text")}, true},
               {"none in the table", {}, true}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString out = m_work + "/library.bin";
    ASSERT_TRUE(build(out, QStringList{"--compressed"} + c.library +
                               QStringList{"--block", "2:pkg\\app.lzma"} + goodMembers()));
    CPayloadArchive archive;
    const QString x = folder("x" + QString::number(n++));
    ASSERT_EQ(c.extracted ? prepare(archive, out, x) : openInto(archive, out, x), PayloadError::Ok);
    EXPECT_EQ(archive.RunExtractFilesDll({}, true), PayloadError::DecompressorMissing);
  }
}

TEST_F(PayloadDecompressorTest, NoBlockGives12) {
  const QString out = m_work + "/noblock.bin";
  ASSERT_TRUE(build(out, {"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath()}));
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
