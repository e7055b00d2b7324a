#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

// What a version block (VS_VERSIONINFO) holds: the fixed file information and
// the texts of its first string table.
struct VersionInfo {
  quint32 fileVersionMS = 0;
  quint32 fileVersionLS = 0;
  quint32 productVersionMS = 0;
  quint32 productVersionLS = 0;
  QList<std::pair<QString, QString>> strings;  // name, text; in block order

  // The text named `name` ("ProductName", ...); empty when there is none.
  QString string(const QString& name) const;
};

// Finds version blocks by their key "VS_VERSION_INFO" and the fixed
// information's signature, anywhere in a file or buffer. Every length is
// checked against the block and the data, so nothing is read outside them.
namespace VersionResource {

constexpr quint32 kFixedInfoSignature = 0xFEEF04BD;

// The first sound version block in `data`.
std::optional<VersionInfo> find(const QByteArray& data);

// The first sound version block in the file at `path`.
std::optional<VersionInfo> readFile(const QString& path);

}  // namespace VersionResource
