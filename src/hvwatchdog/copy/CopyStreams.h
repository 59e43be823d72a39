#pragma once
// Streams of the copy engine: an abstract byte stream, a stream over a file handle and a memory stream.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/text/ExtSysUtils.h"
#include "winui/Handles.h"

namespace hv {

// A failed read or write on a file handle; carries the Windows error code.
class EFileStreamError : public Exception {
 public:
  explicit EFileStreamError(uint32_t code);
  uint32_t ErrorCode() const noexcept { return FCode; }

 private:
  uint32_t FCode;
};
// The destination's write failure (112 = disk full).
class EWriteFileStreamError : public EFileStreamError {
 public:
  using EFileStreamError::EFileStreamError;
};
class EReadFileStreamError : public EFileStreamError {
 public:
  using EFileStreamError::EFileStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Bytes read (0 at the end); a failure raises.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Bytes written (a short write is returned, not raised); a failure raises.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  // Reads exactly count bytes; false when the stream ends first.
  bool ReadExact(void* buffer, int64_t count);
  // Writes all bytes; a short write raises EWriteFileStreamError(112).
  void WriteAll(const void* buffer, int64_t count);
};

// A stream that owns a file handle.
class THandleStream : public TStream {
 public:
  explicit THandleStream(HANDLE handle) : FHandle(handle) {}
  THandleStream(const THandleStream&) = delete;
  THandleStream& operator=(const THandleStream&) = delete;

  // Opens an existing file for reading, sharing read and write; raises EOSError.
  static std::unique_ptr<THandleStream> OpenRead(std::wstring_view name);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  HANDLE Handle() const { return FHandle.Get(); }
  // Flushes the system's buffers to disk; a Windows error code or 0.
  uint32_t Flush();
  // Closes the handle; a Windows error code or 0.
  uint32_t Close() { return FHandle.Close(); }

 private:
  TFileHandle FHandle;
};

// The destination stream: CREATE_ALWAYS with overwrite, else CREATE_NEW; flags writeMode | NORMAL.
class TWriteFileStream : public THandleStream {
 public:
  // Raises EWriteFileStreamError with the last Windows error.
  TWriteFileStream(std::wstring_view fileName, bool overwrite, uint32_t writeMode, uint32_t shareMode);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string data) : FData(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const std::string& Data() const { return FData; }

 private:
  std::string FData;
  int64_t FPos = 0;
};

}  // namespace hv
