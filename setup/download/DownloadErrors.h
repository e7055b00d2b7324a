#pragma once

#include <QString>
#include <cstdint>

// The error codes a download or an install can end with, each carrying where it
// comes from so that its text names the real cause: Windows codes as the system
// gives them (below 0x10000), the setup's own codes from 0xE0000005 upward, and
// ranges for the transfer library's failures, HTTP statuses that end a job and
// the C library's errno values.
namespace DownloadErrors {

// Windows codes.
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kBusy = 170;  // the job is still running
constexpr std::uint32_t kStillActive = 259;

constexpr std::uint32_t kNoTargetName = 0xE0000005;
constexpr std::uint32_t kCancelled = 0xE0000008;
constexpr std::uint32_t kClosedEarly = 0xE000000F;
constexpr std::uint32_t kNothingLeft = 0xE0000010;
constexpr std::uint32_t kAuthenticationRequired = 0xE0000012;
constexpr std::uint32_t kNotModified = 0xE0000013;
constexpr std::uint32_t kForbidden = 0xE0000016;
constexpr std::uint32_t kStoppedAnswering = 0xE0000017;    // no byte from the server for a minute
constexpr std::uint32_t kLargerThanExpected = 0xE0000018;  // more bytes came than the expected size
constexpr std::uint32_t kUnsupportedScheme = 0xE0000019;   // not an HTTP, HTTPS, FTP or Gopher URL
constexpr std::uint32_t kConnectionRefused = 0xE000001A;
constexpr std::uint32_t kConnectionReset = 0xE000001B;
constexpr std::uint32_t kUntrustedAuthority = 0xE000001C;  // the certificate's authority is not trusted
constexpr std::uint32_t kCannotStart = 0xE000001D;         // its subject: the program
constexpr std::uint32_t kProgramsNotAllowed = 0xE000001E;  // its subject: the folder

// A transfer failure: the base plus libcurl's code.
constexpr std::uint32_t kTransferErrorBase = 0xE0010000;
// A reply that ends the job: the base plus the HTTP status.
constexpr std::uint32_t kHttpStatusErrorBase = 0xE0020000;
// A failed file or system call: the base plus errno.
constexpr std::uint32_t kSystemErrorBase = 0xE0030000;
// A folder the file goes into that could not be made: the base plus errno; its subject: the folder.
constexpr std::uint32_t kFolderErrorBase = 0xE0040000;

constexpr std::uint32_t transferError(int curlCode) { return kTransferErrorBase + std::uint32_t(curlCode); }
constexpr std::uint32_t httpStatusError(long status) { return kHttpStatusErrorBase + std::uint32_t(status); }
constexpr std::uint32_t systemError(int errnoValue) { return kSystemErrorBase + std::uint32_t(errnoValue); }
constexpr std::uint32_t folderError(int errnoValue) { return kFolderErrorBase + std::uint32_t(errnoValue); }

}  // namespace DownloadErrors

// A readable text, in the setup's language, for any code a download or an
// install can end with; `subject` names the program or folder for the codes
// that have one.
QString GetInternetErrorText(std::uint32_t code, const QString& subject = QString());
