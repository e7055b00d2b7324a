#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "DownloadErrors.h"
#include "SetupTexts.h"

using namespace DownloadErrors;

namespace {

// Each code a download or an install ends with, and the text that names its cause.
struct CodeCase {
  std::uint32_t code;
  int text;
  QStringList values = {};
  QString subject = {};
};

const CodeCase kCases[] = {
    {kNoTargetName, 240},
    {kCancelled, 241},
    {kClosedEarly, 242},
    {kNothingLeft, 243},
    {kAuthenticationRequired, 244},
    {kNotModified, 245},
    {kForbidden, 246},
    {kStoppedAnswering, 222},
    {kLargerThanExpected, 186},
    {kUnsupportedScheme, 249},
    {kConnectionRefused, 250},
    {kConnectionReset, 255},
    {kUntrustedAuthority, 257},
    {kCannotStart, 223, {"/opt/x/msiexec.exe"}, "/opt/x/msiexec.exe"},
    {kProgramsNotAllowed, 227, {"/tmp/KVTsetup-0"}, "/tmp/KVTsetup-0"},
    {httpStatusError(500), 247, {"500"}},
    {httpStatusError(503), 247, {"503"}},
    {httpStatusError(404), 248, {"404"}},
    {httpStatusError(410), 248, {"410"}},
    {transferError(CURLE_COULDNT_RESOLVE_HOST), 251},
    {transferError(CURLE_COULDNT_RESOLVE_PROXY), 252},
    {transferError(CURLE_COULDNT_CONNECT), 253},
    {transferError(CURLE_OPERATION_TIMEDOUT), 254},
    {transferError(CURLE_RECV_ERROR), 255},
    {transferError(CURLE_SEND_ERROR), 255},
    {transferError(CURLE_GOT_NOTHING), 256},
    {transferError(CURLE_PEER_FAILED_VERIFICATION), 258},
    {transferError(CURLE_SSL_CONNECT_ERROR), 259},
    {transferError(CURLE_REMOTE_FILE_NOT_FOUND), 260},
    {transferError(CURLE_FTP_COULDNT_RETR_FILE), 260},
    {transferError(CURLE_REMOTE_ACCESS_DENIED), 246},
    {transferError(CURLE_LOGIN_DENIED), 261},
    {transferError(CURLE_WEIRD_SERVER_REPLY), 262},
    {transferError(CURLE_TOO_MANY_REDIRECTS), 263},
    {transferError(CURLE_UNSUPPORTED_PROTOCOL), 264},
    {transferError(CURLE_OUT_OF_MEMORY), 271},
    {transferError(CURLE_BAD_CONTENT_ENCODING), 265, {curl_easy_strerror(CURLE_BAD_CONTENT_ENCODING)}},
    {systemError(ENOSPC), 266},
    {systemError(EDQUOT), 266},
    {systemError(EACCES), 267},
    {systemError(EPERM), 267},
    {systemError(EROFS), 268},
    {systemError(ENOENT), 269},
    {systemError(ENOTDIR), 269},
    {systemError(EIO), 270},
    {systemError(ENOMEM), 271},
    {systemError(EXDEV), 272, {QString::fromLocal8Bit(std::strerror(EXDEV))}},
    {2, 269},
    {5, 267},
    {112, 266},
    {12029, 273, {"12029"}},
    {0xE000FFFF, 273, {QString::number(qint32(0xE000FFFF))}},
};

TEST(DownloadErrorTexts, EveryCodeNamesItsCauseInEveryLanguage) {
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    for (const CodeCase& c : kCases)
      EXPECT_EQ(GetInternetErrorText(c.code, c.subject), SetupTexts::text(code, c.text, c.values))
          << code.toStdString() << " " << std::hex << c.code;
  }
}

// A folder that could not be made is named, with the cause of the first level that failed.
TEST(DownloadErrorTexts, AFolderThatCannotBeMadeIsNamedWithItsCauseInEveryLanguage) {
  const std::pair<int, int> causes[] = {{EROFS, 268}, {ENOSPC, 266},  {EDQUOT, 266}, {EACCES, 267},
                                        {EPERM, 267}, {ENOTDIR, 269}, {ENOENT, 269}, {EIO, 270}};
  const QString folder = "/mnt/ro/downloads/";
  for (const QString& code : SetupTexts::kLanguages) {
    const SetupTexts::Language language(code);
    for (const auto& [reason, cause] : causes)
      EXPECT_EQ(GetInternetErrorText(folderError(reason), folder),
                SetupTexts::text(code, 275, {folder, SetupTexts::text(code, cause)}))
          << code.toStdString() << " " << reason;
    EXPECT_EQ(
        GetInternetErrorText(folderError(ELOOP), folder),
        SetupTexts::text(
            code, 275, {folder, SetupTexts::text(code, 272, {QString::fromLocal8Bit(std::strerror(ELOOP))})}))
        << code.toStdString();
  }
}

// A codes' origin decides its text: the same number means another cause in another range.
TEST(DownloadErrorTexts, TheSameNumberFromAnotherOriginIsAnotherCause) {
  const SetupTexts::Language language("en");
  EXPECT_EQ(GetInternetErrorText(5), "Access to the file or folder is denied.");
  EXPECT_EQ(GetInternetErrorText(systemError(5)), "The disk could not be read or written.");
  EXPECT_EQ(GetInternetErrorText(transferError(5)), "The proxy server's name could not be found.");
  EXPECT_EQ(GetInternetErrorText(httpStatusError(5)), "The server answered with HTTP status 5.");
}

}  // namespace
