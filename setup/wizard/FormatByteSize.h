#pragma once

#include <QString>

// A byte count for people: "512.50 KB", "3.07 MB", or "2048 KB" in whole kilobytes.
QString FormatByteSize(qint64 bytes, bool wholeKB);
