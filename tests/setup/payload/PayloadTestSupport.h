#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "CPayloadArchive.h"
#include "PayloadBuilder.h"

// Payloads for the tests, every one made by the payload builder.
class PayloadTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Runs the builder on `stub` (the test's stand-in when empty); true when it succeeded.
  bool build(const QString& out, const QStringList& arguments, const QString& stub = {}) const;
  // The builder in process on the test's stand-in, writing names the setup refuses too.
  PayloadBuilder hostileBuilder() const;
  static QString decompressorPath();

  // Opens `payload` extracting into `folder` and reads its table.
  static int openInto(CPayloadArchive& archive, const QString& payload, const QString& folder);
  // The same, then extracts the launch group.
  static int prepare(CPayloadArchive& archive, const QString& payload, const QString& folder);

  QString source(const QString& name, const QByteArray& bytes) const;
  QString folder(const QString& name) const;

  static QByteArray readFile(const QString& path);
  static void writeFile(const QString& path, const QByteArray& bytes);
  static void patchU32(const QString& path, qint64 offset, quint32 value);
  // Every file and link below `folder`, relative to it, sorted.
  static QStringList tree(const QString& folder);

  QString m_work;  // sources and payloads
  QString m_stub;  // a program image stand-in
};
