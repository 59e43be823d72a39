#pragma once
// Password-based AES stream encryption (salt, password verifier, AES counter mode, HMAC-SHA1
// code) and the result, cancel and progress types shared with the copy engine.
#include <cstdint>
#include <functional>

namespace hv {

enum class TOpResult : uint8_t { orOk, orError, orUserBreak };

// Asked between blocks; true stops the running operation.
using TStatusEvent = std::function<bool()>;

enum class TFileAction : uint8_t {
  acNone, acCopy, acCompress, acUnCompress, acEncrypt, acDecrypt, acVerify, acZipVerify, acAddVerify,
  acFtpWrite, acFtpRead, acScan, acZipCopy, acSegmentCopy, acPrepare
};

// Bytes done so far; a negative count announces the total of a phase. speedLimit is passed
// through from the caller.
using TFileProgressEvent = std::function<void(TFileAction action, int64_t count, bool speedLimit)>;

}  // namespace hv
