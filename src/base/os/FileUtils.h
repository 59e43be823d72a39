#pragma once
// A file stream whose reads and writes return Windows error codes, file errors that carry one,
// file times, link targets and a copy that keeps the last-write time and attributes.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/text/ExtSysUtils.h"
#include "winui/Handles.h"
#include "winui/Translate.h"

namespace hv {

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

// Open modes of TExtFileStream: an access value plus a sharing value, or fmCreate.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A file error with its Windows error code.
class EExtFileStreamError : public Exception {
 public:
  EExtFileStreamError(std::wstring message, uint32_t errorCode) : Exception(std::move(message)), FErrorCode(errorCode) {}
  // The translated msgid formatted with args.
  template <class... A>
  static EExtFileStreamError CreateResFmt(std::wstring_view msgid, uint32_t errorCode, const A&... args) {
    return EExtFileStreamError(SafeFormat(_(msgid), args...), errorCode);
  }
  uint32_t ErrorCode() const noexcept { return FErrorCode; }

 private:
  uint32_t FErrorCode;
};

// Raised only by CopyFileTimeAttr.
class ECopyError : public EExtFileStreamError {
 public:
  using EExtFileStreamError::EExtFileStreamError;
};

class TExtFileStream {
 public:
  // fmCreate (high byte 0xFF) creates or truncates the file with the sharing of the low byte;
  // otherwise an existing file is opened. Rights have no effect on Windows.
  // Raises EExtFileStreamError.
  TExtFileStream(std::wstring_view fileName, uint16_t mode, uint32_t rights = 0);
  ~TExtFileStream() = default;
  TExtFileStream(const TExtFileStream&) = delete;
  TExtFileStream& operator=(const TExtFileStream&) = delete;

  // 0 with readCount the bytes read (0 at the end), or the Windows error code with readCount -1.
  uint32_t Read(void* buffer, uint32_t count, int64_t& readCount) noexcept;
  uint32_t Write(const void* buffer, uint32_t count, int64_t& writeCount) noexcept;
  // New position, or -1 on failure; origin is FILE_BEGIN, FILE_CURRENT or FILE_END.
  int64_t Seek(int64_t offset, DWORD origin) noexcept;
  int64_t Size() const noexcept;
  // Sets the end of the file at size; 0 or the Windows error code.
  uint32_t SetSize(int64_t size) noexcept;
  // Closes the file now; 0 or the Windows error code of the close.
  uint32_t Close() noexcept { return FHandle.Close(); }

  HANDLE Handle() const noexcept { return FHandle.Get(); }
  const std::wstring& FileName() const noexcept { return FFileName; }

 private:
  TFileHandle FHandle;
  std::wstring FFileName;
};

// Conversions without a change of time zone. FileTimeToDateTime gives false (and the current
// local time) for a value that is no valid time.
bool FileTimeToDateTime(const FILETIME& fileTime, TDateTime& dateTime);
FILETIME DateTimeToFileTime(TDateTime dateTime);
TDateTime NowLocal();
// Short date and time in the user's locale formats, one space between.
std::wstring DateTimeText(const SYSTEMTIME& t);
inline FILETIME NullFileTime() { return FILETIME{0, 0}; }
inline bool IsNullFileTime(const FILETIME& ft) { return ft.dwLowDateTime == 0 && ft.dwHighDateTime == 0; }

// 0 or a Windows error code; followLink reads the data of a link's target. A file that is
// locked by others is found by a directory search instead.
uint32_t GetFileAttrData(std::wstring_view name, WIN32_FILE_ATTRIBUTE_DATA& data, bool followLink);
// Last-write time (links followed); NullFileTime when it cannot be read.
FILETIME GetFileWriteTime(std::wstring_view name);
// Sets only the last-write time; with checkFuture a time more than a day ahead of now (both UTC)
// is replaced by now. 0 or a Windows error code.
uint32_t SetFileWriteTime(std::wstring_view name, const FILETIME& fileTime, bool checkFuture);

// Final path of a symbolic link or junction; false when name is none or no target is found.
bool GetReparseTarget(std::wstring_view name, std::wstring& target);
// "\Device\HarddiskVolume1\x" as "C:\x" (UNC for the network redirector); empty when no drive
// carries that device.
std::wstring DeviceToDrivePath(std::wstring_view devicePath);

// Copies source to dest through a temporary file in dest's folder, so that a failed copy leaves
// dest as it was; dest gets the source's last-write time and attr (below 0: the source's
// attributes). Same names do nothing. Raises ECopyError.
void CopyFileTimeAttr(std::wstring_view source, std::wstring_view dest, int32_t attr, uint32_t bufferSize);

// True when dir holds no entry, also when it cannot be searched.
bool IsDirEmpty(std::wstring_view dir);

// The whole file as bytes (others may write it meanwhile). Raises EExtFileStreamError.
std::string ReadFileBytes(std::wstring_view fileName);

}  // namespace hv
