#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

// Writes version blocks (VS_VERSIONINFO) for the tests, laid out as Windows
// resource compilers lay them out.
namespace VersionBlockWriter {

// A block with the file version a.b.c.d and `strings` in one string table.
QByteArray block(quint16 a, quint16 b, quint16 c, quint16 d,
                 const QList<std::pair<QString, QString>>& strings = {});

// `block` inside other bytes, as it lies in a program file.
QByteArray inFile(const QByteArray& block);

// Writes `bytes` to `path`, making its folder; false when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes);

}  // namespace VersionBlockWriter
