#include "FormatByteSize.h"

namespace {

constexpr qint64 kKB = 1024;
constexpr qint64 kMB = 1024 * 1024;

}  // namespace

QString FormatByteSize(qint64 bytes, bool wholeKB) {
  if (wholeKB && bytes / kKB != 0) return QStringLiteral("%1 KB").arg(bytes / kKB);
  const qint64 unit = bytes <= kMB ? kKB : kMB;
  const QString name = bytes <= kMB ? QStringLiteral("KB") : QStringLiteral("MB");
  // The first two decimals, cut rather than rounded.
  const qint64 decimals = (bytes % unit) * 100 / unit;
  return QStringLiteral("%1.%2 %3").arg(bytes / unit).arg(decimals, 2, 10, QLatin1Char('0')).arg(name);
}
