#pragma once
// Copy-error codes: error number in bits 0-7, severity in bits 8-11, operation in bits 12-15.
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

enum class TCopySeverity : uint8_t { csNone = 0, csError = 1, csWarning = 2, csSecondaryError = 3 };

enum class TCopyOperation : uint8_t {
  opNone = 0, opCopy = 1, opGzip = 2, opGunzip = 3, opZip = 4, opEncrypt = 5, opDecrypt = 6, opUnzip = 7
};

// The error numbers of the copy-error table (39 has no text of its own).
enum class TCopyErrorNo : uint8_t {
  enCreate = 1, enOpen = 2, enClose = 3, enRead = 4, enWrite = 5, enAttributes = 6, enDiskFull = 7,
  enHeader = 8, enCorrupt = 9, enEncrypt = 10, enDecrypt = 11, enVerify = 12, enPathTooLong = 13,
  enNotFound = 14, enTimestamp = 15, enSummary = 16, enTimeout = 17, enUndefinedStream = 18,
  enPermissions = 19, enExists = 20, enSizeMismatch = 21, enVerifyOpen = 22, enCreateDir = 23,
  enFtpRead = 24, enFtpWrite = 25, enFtpConnect = 26, enFtpClosed = 27, enFtpData = 28, enFtpTimeout = 29,
  enDifferent = 30, enZipSegment = 31, enZipSignature = 32, enExtract = 33, enFormat = 34, enRename = 35,
  enZipNextSegment = 36, enAltStreams = 37, enDelete = 38, enZipFormat = 40, enTerminated = 128
};

constexpr int32_t CopyError(TCopySeverity severity, TCopyErrorNo number,
                            TCopyOperation operation = TCopyOperation::opNone) {
  return (static_cast<int32_t>(operation) << 12) | (static_cast<int32_t>(severity) << 8) |
         static_cast<int32_t>(number);
}
constexpr TCopySeverity CopyErrorSeverity(int32_t code) { return static_cast<TCopySeverity>((code >> 8) & 0xF); }
constexpr TCopyOperation CopyErrorOperation(int32_t code) { return static_cast<TCopyOperation>((code >> 12) & 0xF); }
constexpr TCopyErrorNo CopyErrorNumber(int32_t code) { return static_cast<TCopyErrorNo>(code & 0xFF); }
// The code with the operation of the copy put in.
constexpr int32_t WithOperation(int32_t code, TCopyOperation operation) {
  return code == 0 ? 0 : (code & ~0xF000) | (static_cast<int32_t>(operation) << 12);
}
// A warning leaves a usable copy; anything else non-zero failed it.
constexpr bool IsCopyFailure(int32_t code) {
  return code != 0 && CopyErrorSeverity(code) != TCopySeverity::csWarning;
}

// The codes the copy engine gives, before it adds the operation of the copy.
namespace copyerr {
constexpr int32_t kTerminated = CopyError(TCopySeverity::csNone, TCopyErrorNo::enTerminated);
constexpr int32_t kCreate = CopyError(TCopySeverity::csError, TCopyErrorNo::enCreate);
constexpr int32_t kOpen = CopyError(TCopySeverity::csError, TCopyErrorNo::enOpen);
constexpr int32_t kRead = CopyError(TCopySeverity::csError, TCopyErrorNo::enRead);
constexpr int32_t kWrite = CopyError(TCopySeverity::csError, TCopyErrorNo::enWrite);
constexpr int32_t kResetAttributes = CopyError(TCopySeverity::csError, TCopyErrorNo::enAttributes);
constexpr int32_t kDiskFull = CopyError(TCopySeverity::csError, TCopyErrorNo::enDiskFull);
constexpr int32_t kHeader = CopyError(TCopySeverity::csError, TCopyErrorNo::enHeader);
constexpr int32_t kVerify = CopyError(TCopySeverity::csError, TCopyErrorNo::enVerify);
constexpr int32_t kNotFound = CopyError(TCopySeverity::csError, TCopyErrorNo::enNotFound);
constexpr int32_t kVerifyOpen = CopyError(TCopySeverity::csError, TCopyErrorNo::enVerifyOpen);
constexpr int32_t kRename = CopyError(TCopySeverity::csError, TCopyErrorNo::enRename);
constexpr int32_t kWarnAttributes = CopyError(TCopySeverity::csWarning, TCopyErrorNo::enAttributes);
constexpr int32_t kWarnTimestamp = CopyError(TCopySeverity::csWarning, TCopyErrorNo::enTimestamp);
constexpr int32_t kWarnSummary = CopyError(TCopySeverity::csWarning, TCopyErrorNo::enSummary);
constexpr int32_t kWarnPermissions = CopyError(TCopySeverity::csWarning, TCopyErrorNo::enPermissions);
constexpr int32_t kWarnAltStreams = CopyError(TCopySeverity::csWarning, TCopyErrorNo::enAltStreams);
}  // namespace copyerr

// The log text of a copy-error code; FileName and Info may be empty.
std::wstring FormatCopyError(int32_t code, std::wstring_view fileName, std::wstring_view info);

}  // namespace hv
