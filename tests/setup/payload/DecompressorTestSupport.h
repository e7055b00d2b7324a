#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "ExtractFilesArgs.h"
#include "PayloadTestSupport.h"

// Compressed blocks for the tests, and the carried decompressor called on them
// as the setup calls it.
class DecompressorTest : public PayloadTest {
 protected:
  static constexpr int kNotRun = 1000;

  // A package, a file in a folder and a link beside it.
  QStringList goodMembers();
  // The decompressor library itself, called on the block of `payload` (its second entry) for
  // `destination`.
  int runDecompressor(const QString& payload, const QByteArray& destination,
                      IExtractProgress* progress = nullptr);
  // The decompressor library, then the block stored as "pkg\app.lzma" holding `members`.
  QString compressedPayload(const QStringList& members, const QStringList& extra = {});
  // The builder in hostile mode with the library and the block "pkg\app.lzma" added: members
  // that the setup refuses go in as given.
  PayloadBuilder hostileBlock() const;
  // Writes `builder`'s payload and runs the decompressor on it for `destination`.
  int runHostile(const PayloadBuilder& builder, const QString& destination,
                 IExtractProgress* progress = nullptr);
};
