#include <QtEndian>
#include <cstring>
#include <vector>

#include "CPayloadArchive.h"
#include "PayloadTestSupport.h"

namespace {

constexpr qint64 kTrailer = 76;
constexpr quint32 kPage = 4096;

class PayloadCopyTest : public PayloadTest {
 protected:
  // Bytes of their own for entry `seed`, so that no entry passes for another.
  static QByteArray bytesOf(qint64 size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) bytes[i] = char((i * 131 + seed * 7 + i / 251) & 0xFF);
    return bytes;
  }

  // A payload on a stub of `stubSize` bytes holding entries "e0", "e1"... of `sizes`.
  QString payloadOf(qint64 stubSize, const std::vector<qint64>& sizes) {
    QStringList items;
    for (size_t i = 0; i < sizes.size(); ++i) {
      const QString name = "e" + QString::number(i);
      items << "--file"
            << "1:4:" + name + "=" + source(name, bytesOf(sizes[i], int(i)));
    }
    const QString out = m_work + "/setup.bin";
    EXPECT_TRUE(build(out, items, source("stub" + QString::number(stubSize), QByteArray(stubSize, '\x90'))));
    return out;
  }

  // Where entry `index`'s header lies in the table of `payload`.
  static qint64 headerAt(const QByteArray& payload, int index) {
    const char* trailer = payload.constData() + payload.size() - kTrailer;
    qint64 position = qFromLittleEndian<quint32>(trailer + 20);
    for (int i = 0; i < index; ++i)
      position += 20 + qFromLittleEndian<quint32>(payload.constData() + position + 16);
    return position;
  }
};

// Small entries come out of the bytes read ahead; large ones are copied by the kernel
// where their pages line up with the new file's (`linedUp`), else through a buffer (`apart`).
TEST_F(PayloadCopyTest, EveryEntryComesOutWholeWhateverItsSizeAndPlace) {
  const struct {
    qint64 stub;
    std::vector<qint64> sizes;
    int linedUp, apart;
  } cases[] = {
      {6000, {0, 1, 4, 5, 65535, 65536, 65537, 262144, 262145, 1048579}, -1, 9},
      {8192, {1048576, 65537, 3, 1048576 + 5, 262144}, 0, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stub);
    const QString out = payloadOf(c.stub, c.sizes);
    CPayloadArchive archive;
    const QString x = folder("x" + QString::number(c.stub));
    ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
    if (c.linedUp >= 0) {
      EXPECT_EQ(archive.entries()[size_t(c.linedUp)].offset % kPage, 0u);
    }
    EXPECT_NE(archive.entries()[size_t(c.apart)].offset % kPage, 0u);
    EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
    for (size_t i = 0; i < c.sizes.size(); ++i)
      EXPECT_EQ(readFile(x + "e" + QString::number(i)), bytesOf(c.sizes[i], int(i))) << i;
  }
}

// The data need not follow the table's order: each entry reads its own place.
TEST_F(PayloadCopyTest, EntriesWhoseDataLieInAnotherOrderEachGetTheirOwn) {
  const qint64 size = 70000;
  const QString out = payloadOf(6000, {size, size, size, 10, 10});
  const QByteArray original = readFile(out);
  QByteArray payload = original;
  // Entry i takes the data of entry sources[i].
  const int sources[] = {1, 2, 0, 4, 3};
  for (int i = 0; i < 5; ++i)
    std::memcpy(payload.data() + headerAt(original, i) + 12,
                original.constData() + headerAt(original, sources[i]) + 12, 4);
  writeFile(out, payload);
  CPayloadArchive archive;
  const QString x = folder("x");
  ASSERT_EQ(openInto(archive, out, x), PayloadError::Ok);
  EXPECT_EQ(archive.ExtractAll(), PayloadError::Ok);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(readFile(x + "e" + QString::number(i)), bytesOf(i < 3 ? size : 10, sources[i])) << i;
}

}  // namespace
