#include "DecompressorTestSupport.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>

QStringList DecompressorTest::goodMembers() {
  return {"--member",      "app.msi=" + source("app.msi", "the package"),
          "--member",      "data/readme.txt=" + source("readme", QByteArray(300000, 'r')),
          "--member-link", "data/link=readme.txt"};
}

int DecompressorTest::runDecompressor(const QString& payload, const QByteArray& destination,
                                      IExtractProgress* progress) {
  CPayloadArchive archive;
  EXPECT_EQ(openInto(archive, payload, folder("table")), PayloadError::Ok);
  const PayloadEntry block = archive.entries()[1];
  void* library = ::dlopen(KVT_DECOMPRESSOR, RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(library, nullptr);
  const auto extractFiles = reinterpret_cast<ExtractFilesFunction>(::dlsym(library, "ExtractFiles"));
  EXPECT_NE(extractFiles, nullptr);
  const int fd = ::open(QFile::encodeName(payload).constData(), O_RDONLY | O_CLOEXEC);
  ExtractFilesArgs args{fd, block.offset, block.size, {}, progress};
  qstrncpy(args.destination, destination.constData(), sizeof args.destination);
  const int result = extractFiles ? extractFiles(&args) : kNotRun;
  ::close(fd);
  ::dlclose(library);
  return result;
}

QString DecompressorTest::compressedPayload(const QStringList& members, const QStringList& extra) {
  const QString out = m_work + "/setup.bin";
  EXPECT_TRUE(build(out, QStringList{"--compressed", "--file", "2:7:KVTdecompress.so=" + decompressorPath(),
                                     "--block", "2:pkg\\app.lzma"} +
                             members + extra));
  return out;
}

PayloadBuilder DecompressorTest::hostileBlock() const {
  PayloadBuilder builder = hostileBuilder();
  builder.addFile(2, 7, "KVTdecompress.so", decompressorPath());
  builder.addBlock(2, "pkg\\app.lzma");
  return builder;
}

int DecompressorTest::runHostile(const PayloadBuilder& builder, const QString& destination,
                                 IExtractProgress* progress) {
  const QString out = m_work + "/hostile.bin";
  const QString error = builder.write(out);
  EXPECT_EQ(error, QString());
  return error.isEmpty() ? runDecompressor(out, QFile::encodeName(destination), progress) : kNotRun;
}
