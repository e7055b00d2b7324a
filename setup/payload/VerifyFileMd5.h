#pragma once

#include <QByteArray>
#include <QString>

// The MD5 (32 lowercase hexadecimal characters) of `path` without its last
// `skip` bytes; empty when the file cannot be read.
QByteArray FileMd5Hex(const QString& path, qint64 skip);

// True when the MD5 of `path` without its last `skip` bytes matches `expected`:
// its first 32 characters, whose letters "A" to "F" count as lowercase.
bool VerifyFileMd5(const QString& path, const QByteArray& expected, qint64 skip);
