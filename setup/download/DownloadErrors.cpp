#include "DownloadErrors.h"

#include <curl/curl.h>

#include <cstring>

#include "SetupStrings.h"

using namespace DownloadErrors;

namespace {

constexpr std::uint32_t kRangeSize = 0x10000;
constexpr int kWrongSizeText = 186;
constexpr int kStoppedAnsweringText = 222;

bool inRange(std::uint32_t code, std::uint32_t base) { return code >= base && code < base + kRangeSize; }

QString ownText(std::uint32_t code) {
  switch (code) {
    case kNoTargetName:
      return QStringLiteral("The address names no file to save the download as.");
    case kCancelled:
      return QStringLiteral("The download was cancelled.");
    case kClosedEarly:
      return QStringLiteral("The connection closed before the whole file arrived.");
    case kNothingLeft:
      return QStringLiteral(
          "Nothing is left to download: the partial file is already as large as the file on the server.");
    case kAuthenticationRequired:
      return QStringLiteral("The server asks for a user name and password.");
    case kNotModified:
      return QStringLiteral("The file on the server has not been modified.");
    case kForbidden:
      return QStringLiteral("The server refuses access to the file.");
    case kStoppedAnswering:
      return SetupStrings::text(kStoppedAnsweringText);
    case kLargerThanExpected:
      return SetupStrings::text(kWrongSizeText);
    default:
      return QString();
  }
}

QString systemText(std::uint32_t code) {
  if (code > 0x7FFFFFFF) return QString();
  char buffer[256];
  const char* text = strerror_r(int(code), buffer, sizeof buffer);
  if (!text || std::strncmp(text, "Unknown error", 13) == 0) return QString();
  return QString::fromLocal8Bit(text);
}

}  // namespace

QString GetInternetErrorText(std::uint32_t code) {
  QString text = ownText(code);
  if (text.isEmpty() && inRange(code, kTransferErrorBase))
    text = QString::fromLatin1(curl_easy_strerror(CURLcode(code - kTransferErrorBase)));
  if (text.isEmpty() && inRange(code, kHttpStatusErrorBase))
    text = QStringLiteral("The server answered with HTTP status %1.").arg(code - kHttpStatusErrorBase);
  if (text.isEmpty()) text = systemText(code);
  return text.isEmpty() ? QString::number(qint32(code)) : text;
}
