#pragma once
// Progress and result types of the base library, until its unit is available here.
#if __has_include("base/AesLib.h")
#include "base/AesLib.h"
#else
#include <cstdint>
#include <functional>

namespace hv {
enum TOpResult { orOk, orError, orUserBreak };
using TStatusEvent = std::function<bool()>;
enum TFileAction : uint8_t {
  acNone, acCopy, acCompress, acUnCompress, acEncrypt, acDecrypt, acVerify, acZipVerify, acAddVerify,
  acFtpWrite, acFtpRead, acScan, acZipCopy, acSegmentCopy, acPrepare
};
using TFileProgressEvent = std::function<void(TFileAction action, int64_t count, bool speedLimit)>;
}  // namespace hv
#endif
