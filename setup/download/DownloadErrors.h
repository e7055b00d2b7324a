#pragma once

#include <QString>
#include <cstdint>

// The download engine's error codes. Beside its own codes, system codes pass
// through unchanged, and failures of the transfer library and HTTP statuses that
// end a job are carried in ranges of their own so that their texts can be found.
namespace DownloadErrors {

constexpr std::uint32_t kFileNotFound = 2;  // the URL's scheme is not one we fetch
constexpr std::uint32_t kBusy = 170;        // the job is still running
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

// A transfer failure: the base plus libcurl's code.
constexpr std::uint32_t kTransferErrorBase = 0xE0010000;
// A reply that ends the job: the base plus the HTTP status.
constexpr std::uint32_t kHttpStatusErrorBase = 0xE0020000;

constexpr std::uint32_t transferError(int curlCode) { return kTransferErrorBase + std::uint32_t(curlCode); }
constexpr std::uint32_t httpStatusError(long status) { return kHttpStatusErrorBase + std::uint32_t(status); }

}  // namespace DownloadErrors

// A readable text for any code a download or an install can end with.
QString GetInternetErrorText(std::uint32_t code);
