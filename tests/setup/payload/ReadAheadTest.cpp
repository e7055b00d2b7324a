#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>

#include "ReadAhead.h"
#include "TestEnv.h"
#include "UniqueFd.h"

namespace {

constexpr qint64 kWindow = 256 * 1024;
constexpr qint64 kFileSize = 3 * kWindow + 1000;

// A file whose bytes can all be changed on disk after a read: what a later read gives tells
// whether it came from the window read ahead (the old bytes) or from the file (the new ones).
class ReadAheadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = TestEnv::freshDir("read-ahead") + "/file";
    TestEnv::writeFile(m_path, QByteArray(kFileSize, 'o'));
    m_fd = UniqueFd(::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(m_fd.valid());
    m_reader.setFile(m_fd.get());
  }

  void changeOnDisk() {
    const QByteArray changed(kFileSize, 'n');
    ASSERT_EQ(::pwrite(m_fd.get(), changed.constData(), size_t(changed.size()), 0), kFileSize);
  }

  // The bytes read at `position`, or "null" when the read fails.
  QByteArray read(qint64 position, qint64 length) {
    const char* bytes = m_reader.read(position, length);
    return bytes ? QByteArray(bytes, length) : QByteArray("null");
  }

  QString m_path;
  UniqueFd m_fd;
  ReadAhead m_reader;
};

// A read that carries on where the last one ended fills a window from there; one that ends
// exactly at its end is served from it, one a byte longer reads the file again.
TEST_F(ReadAheadTest, ReadsEndingAtTheWindowsEndAreServedAndOneBytePastIsNot) {
  const qint64 start = 100;
  read(0, start);
  read(start, 10);  // carries on: the window is [start, start + kWindow)
  changeOnDisk();
  EXPECT_EQ(read(start + 10, kWindow - 10), QByteArray(kWindow - 10, 'o'));
  EXPECT_EQ(read(start + kWindow - 1, 1), QByteArray(1, 'o'));
  EXPECT_EQ(read(start + kWindow - 2, 3), QByteArray(3, 'n'));
}

// An entry that straddles the window's end comes out whole, from the file.
TEST_F(ReadAheadTest, AFileThatStraddlesTwoWindowsComesOutWhole) {
  read(0, 10);
  read(10, 10);  // the window is [10, 10 + kWindow)
  const qint64 straddling = 10 + kWindow - 1000;
  EXPECT_EQ(read(20, straddling - 20), QByteArray(straddling - 20, 'o'));
  changeOnDisk();
  EXPECT_EQ(read(straddling, 4096), QByteArray(4096, 'n'));
  // It carried on, so it filled the next window from its start.
  TestEnv::writeFile(m_path, QByteArray(kFileSize, 'x'));
  EXPECT_EQ(read(straddling + 4096, 100), QByteArray(100, 'n'));
}

// The file's end bounds every read, window or not.
TEST_F(ReadAheadTest, AReadMayEndAtTheFilesEndButNotOnePast) {
  const struct {
    qint64 position;
    qint64 length;
    QByteArray expected;
  } cases[] = {
      {kFileSize - 10, 10, QByteArray(10, 'o')},
      {kFileSize - 10, 11, "null"},
      {kFileSize, 0, ""},
      {kFileSize, 1, "null"},
      {0, kFileSize, QByteArray(kFileSize, 'o')},
      {0, kFileSize + 1, "null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.position) + "+" + std::to_string(c.length));
    EXPECT_EQ(read(c.position, c.length), c.expected);
  }
  // Carrying on from a read that ends a few bytes before the end, the window holds only those.
  read(0, kFileSize - 5);
  EXPECT_EQ(read(kFileSize - 5, 5), QByteArray(5, 'o'));
  EXPECT_EQ(read(kFileSize - 5, 6), "null");
}

}  // namespace
