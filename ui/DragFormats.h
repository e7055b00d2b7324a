#pragma once

#include <QString>

// The private clipboard and drag formats as MIME types, and the shell's file list.
namespace DragFormats {
inline const QString Rows = QStringLiteral("application/x-kvt-rows");
inline const QString Documents = QStringLiteral("application/x-kvt-documents");
inline const QString Options = QStringLiteral("application/x-kvt-options");
inline const QString Files = QStringLiteral("text/uri-list");
}  // namespace DragFormats
