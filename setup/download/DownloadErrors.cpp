#include "DownloadErrors.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "SetupMessages.h"
#include "SetupStrings.h"

using namespace DownloadErrors;

namespace {

constexpr std::uint32_t kRangeSize = 0x10000;

namespace Text {
constexpr int WrongSize = 186;
constexpr int StoppedAnswering = 222;
constexpr int CannotStart = 223;
constexpr int ProgramsNotAllowed = 227;
constexpr int NoTargetName = 240;
constexpr int Cancelled = 241;
constexpr int ClosedEarly = 242;
constexpr int NothingLeft = 243;
constexpr int AuthenticationRequired = 244;
constexpr int NotModified = 245;
constexpr int Forbidden = 246;
constexpr int HttpStatus = 247;
constexpr int HttpNoSuchFile = 248;
constexpr int UnsupportedScheme = 249;
constexpr int ConnectionRefused = 250;
constexpr int HostNotFound = 251;
constexpr int ProxyNotFound = 252;
constexpr int Unreachable = 253;
constexpr int TimedOut = 254;
constexpr int ConnectionReset = 255;
constexpr int NothingAnswered = 256;
constexpr int UntrustedAuthority = 257;
constexpr int CertificateNotVerified = 258;
constexpr int HandshakeFailed = 259;
constexpr int RemoteFileNotFound = 260;
constexpr int LoginRefused = 261;
constexpr int AnswerNotUnderstood = 262;
constexpr int TooManyRedirects = 263;
constexpr int RedirectNotFollowed = 264;
constexpr int DownloadFailed = 265;
constexpr int DiskFull = 266;
constexpr int AccessDenied = 267;
constexpr int ReadOnly = 268;
constexpr int NotFound = 269;
constexpr int DiskFailed = 270;
constexpr int OutOfMemory = 271;
constexpr int FileFailed = 272;
constexpr int Unexpected = 273;
constexpr int FolderNotMade = 275;
}  // namespace Text

struct CodeText {
  std::uint32_t code;
  int text;
};

constexpr CodeText kOwnTexts[] = {
    {kNoTargetName, Text::NoTargetName},
    {kCancelled, Text::Cancelled},
    {kClosedEarly, Text::ClosedEarly},
    {kNothingLeft, Text::NothingLeft},
    {kAuthenticationRequired, Text::AuthenticationRequired},
    {kNotModified, Text::NotModified},
    {kForbidden, Text::Forbidden},
    {kStoppedAnswering, Text::StoppedAnswering},
    {kLargerThanExpected, Text::WrongSize},
    {kUnsupportedScheme, Text::UnsupportedScheme},
    {kConnectionRefused, Text::ConnectionRefused},
    {kConnectionReset, Text::ConnectionReset},
    {kUntrustedAuthority, Text::UntrustedAuthority},
    {kCannotStart, Text::CannotStart},
    {kProgramsNotAllowed, Text::ProgramsNotAllowed},
};

constexpr CodeText kWindowsTexts[] = {
    {2, Text::NotFound},     {3, Text::NotFound},  {5, Text::AccessDenied}, {8, Text::OutOfMemory},
    {14, Text::OutOfMemory}, {19, Text::ReadOnly}, {39, Text::DiskFull},    {112, Text::DiskFull},
};

constexpr CodeText kTransferTexts[] = {
    {CURLE_UNSUPPORTED_PROTOCOL, Text::RedirectNotFollowed},
    {CURLE_URL_MALFORMAT, Text::UnsupportedScheme},
    {CURLE_COULDNT_RESOLVE_PROXY, Text::ProxyNotFound},
    {CURLE_COULDNT_RESOLVE_HOST, Text::HostNotFound},
    {CURLE_COULDNT_CONNECT, Text::Unreachable},
    {CURLE_WEIRD_SERVER_REPLY, Text::AnswerNotUnderstood},
    {CURLE_REMOTE_ACCESS_DENIED, Text::Forbidden},
    {CURLE_FTP_COULDNT_RETR_FILE, Text::RemoteFileNotFound},
    {CURLE_OUT_OF_MEMORY, Text::OutOfMemory},
    {CURLE_OPERATION_TIMEDOUT, Text::TimedOut},
    {CURLE_TOO_MANY_REDIRECTS, Text::TooManyRedirects},
    {CURLE_GOT_NOTHING, Text::NothingAnswered},
    {CURLE_SSL_CONNECT_ERROR, Text::HandshakeFailed},
    {CURLE_PEER_FAILED_VERIFICATION, Text::CertificateNotVerified},
    {CURLE_SSL_CACERT_BADFILE, Text::CertificateNotVerified},
    {CURLE_SEND_ERROR, Text::ConnectionReset},
    {CURLE_RECV_ERROR, Text::ConnectionReset},
    {CURLE_LOGIN_DENIED, Text::LoginRefused},
    {CURLE_REMOTE_FILE_NOT_FOUND, Text::RemoteFileNotFound},
};

constexpr CodeText kSystemTexts[] = {
    {ENOSPC, Text::DiskFull},    {EDQUOT, Text::DiskFull}, {EACCES, Text::AccessDenied},
    {EPERM, Text::AccessDenied}, {EROFS, Text::ReadOnly},  {ENOENT, Text::NotFound},
    {ENOTDIR, Text::NotFound},   {EIO, Text::DiskFailed},  {ENOMEM, Text::OutOfMemory},
};

template <size_t N>
int textOf(const CodeText (&table)[N], std::uint32_t code) {
  for (const CodeText& entry : table)
    if (entry.code == code) return entry.text;
  return 0;
}

bool inRange(std::uint32_t code, std::uint32_t base) { return code >= base && code < base + kRangeSize; }

// The C library's own words for errno `value`, as a detail after a translated sentence.
QString systemDetail(int value) {
  char buffer[256];
  const char* text = strerror_r(value, buffer, sizeof buffer);
  return text ? QString::fromLocal8Bit(text) : QString::number(value);
}

QString transferText(int curlCode) {
  if (const int text = textOf(kTransferTexts, std::uint32_t(curlCode))) return SetupStrings::text(text);
  return setupText(Text::DownloadFailed, {QString::fromLatin1(curl_easy_strerror(CURLcode(curlCode)))});
}

QString httpStatusText(std::uint32_t status) {
  const bool noSuchFile = status == 404 || status == 410;
  return setupText(noSuchFile ? Text::HttpNoSuchFile : Text::HttpStatus, {QString::number(status)});
}

QString systemText(int value) {
  if (const int text = textOf(kSystemTexts, std::uint32_t(value))) return SetupStrings::text(text);
  return setupText(Text::FileFailed, {systemDetail(value)});
}

}  // namespace

QString GetInternetErrorText(std::uint32_t code, const QString& subject) {
  if (const int text = textOf(kOwnTexts, code)) return setupText(text, {subject});
  if (inRange(code, kTransferErrorBase)) return transferText(int(code - kTransferErrorBase));
  if (inRange(code, kHttpStatusErrorBase)) return httpStatusText(code - kHttpStatusErrorBase);
  if (inRange(code, kSystemErrorBase)) return systemText(int(code - kSystemErrorBase));
  if (inRange(code, kFolderErrorBase))
    return setupText(Text::FolderNotMade, {subject, systemText(int(code - kFolderErrorBase))});
  if (const int text = textOf(kWindowsTexts, code)) return SetupStrings::text(text);
  return setupText(Text::Unexpected, {QString::number(qint32(code))});
}
