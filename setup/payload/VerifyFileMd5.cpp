#include "VerifyFileMd5.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <memory>
#include <vector>

#include "UniqueFd.h"

namespace {

constexpr qint64 kBlockSize = 49152;
constexpr int kDigestHexLength = 32;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

QByteArray digestOf(int fd, qint64 length) {
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return {};
  std::vector<char> block(kBlockSize);
  for (qint64 done = 0; done < length;) {
    const ssize_t got = ::read(fd, block.data(), size_t(std::min(kBlockSize, length - done)));
    if (got <= 0) return {};
    EVP_DigestUpdate(context.get(), block.data(), size_t(got));
    done += got;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1) return {};
  return QByteArray(reinterpret_cast<const char*>(digest), digestLength).toHex();
}

char lowerHexLetter(char c) { return c >= 'A' && c <= 'F' ? char(c - 'A' + 'a') : c; }

}  // namespace

QByteArray FileMd5Hex(const QString& path, qint64 skip) {
  const UniqueFd file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!file.valid() || ::fstat(file.get(), &st) != 0) return {};
  ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return digestOf(file.get(), std::max<qint64>(0, st.st_size - skip));
}

bool VerifyFileMd5(const QString& path, const QByteArray& expected, qint64 skip) {
  const QByteArray actual = FileMd5Hex(path, skip);
  if (actual.size() != kDigestHexLength || expected.size() < kDigestHexLength) return false;
  for (int i = 0; i < kDigestHexLength; ++i)
    if (actual[i] != lowerHexLetter(expected[i])) return false;
  return true;
}
