#include <QCryptographicHash>
#include <QFile>

#include "PayloadTestSupport.h"
#include "VerifyFileMd5.h"

namespace {

class VerifyFileMd5Test : public PayloadTest {
 protected:
  QString signedPayload() {
    const QString out = m_work + "/setup.bin";
    EXPECT_TRUE(build(out, {"--md5", "--file", "1:0:app.msi=" + source("app.msi", QByteArray(200000, 'a'))}));
    return out;
  }
  static QByteArray digestIn(const QString& path) { return readFile(path).right(76).mid(28, 32); }
};

TEST_F(VerifyFileMd5Test, TheBuildersDigestMatchesInAnyLetterCase) {
  const QString out = signedPayload();
  const QByteArray digest = digestIn(out);
  EXPECT_EQ(digest, QCryptographicHash::hash(readFile(out).chopped(76), QCryptographicHash::Md5).toHex());
  EXPECT_TRUE(VerifyFileMd5(out, digest, 76));
  EXPECT_TRUE(VerifyFileMd5(out, digest.toUpper(), 76));
  EXPECT_TRUE(VerifyFileMd5(out, digest + "and more", 76));
}

TEST_F(VerifyFileMd5Test, AnyDifferenceIsAMismatch) {
  const QString out = signedPayload();
  const QByteArray digest = digestIn(out);
  EXPECT_FALSE(VerifyFileMd5(out, digest.chopped(1), 76));
  EXPECT_FALSE(VerifyFileMd5(out, digest, 75));
  EXPECT_FALSE(VerifyFileMd5(out, QByteArray(32, '!'), 76));
  QByteArray other = digest;
  other[31] = other[31] == '0' ? '1' : '0';
  EXPECT_FALSE(VerifyFileMd5(out, other, 76));
  // Folding stops at "F": a "G" never counts as "g".
  EXPECT_FALSE(VerifyFileMd5(out, QByteArray(32, 'G'), 76));

  QByteArray bytes = readFile(out);
  bytes[5000] = char(bytes[5000] ^ 1);
  writeFile(out, bytes);
  EXPECT_FALSE(VerifyFileMd5(out, digest, 76));
  EXPECT_FALSE(VerifyFileMd5(m_work + "/missing", digest, 76));
}

TEST_F(VerifyFileMd5Test, BlocksAndTheSkipCutAtTheirExactBorders) {
  // Sizes around the 49152-byte block, with and without the skip.
  for (qint64 size : {0, 1, 49151, 49152, 49153, 98304, 98305}) {
    SCOPED_TRACE(size);
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i) bytes[i] = char(i * 7 + 3);
    const QString path = source("f", bytes + QByteArray(76, 't'));
    EXPECT_EQ(FileMd5Hex(path, 76), QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
  }
  const QString small = source("small", "abc");
  EXPECT_EQ(FileMd5Hex(small, 76), QCryptographicHash::hash({}, QCryptographicHash::Md5).toHex());
}

}  // namespace
