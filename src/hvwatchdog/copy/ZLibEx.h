#pragma once
// Deflate and inflate streams over another stream (zlib; the copy engine uses raw deflate).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/text/ExtSysUtils.h"
#include "hvwatchdog/copy/CopyStreams.h"

namespace hv {

class EZLibError : public Exception {
 public:
  using Exception::Exception;
};
class EZCompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};

enum class TZCompressionLevel { zcNone, zcFastest, zcDefault, zcMax };
int ZLevel(TZCompressionLevel level);

struct TZState;

class TCustomZStream {
 public:
  virtual ~TCustomZStream();
  std::function<void()> OnProgress;

 protected:
  explicit TCustomZStream(TStream& stream);
  TStream& FStream;
  int64_t FStreamStartPos;
  int64_t FStreamPos;
  std::unique_ptr<TZState> FZStream;
  std::vector<unsigned char> FBuffer;
};

// Writes compressed data into Dest; output goes straight to the file handle when Dest is a handle stream.
class TZCompressionStream : public TCustomZStream {
 public:
  explicit TZCompressionStream(TStream& dest, TZCompressionLevel level = TZCompressionLevel::zcDefault,
                               int windowBits = 15);
  // Finishes quietly when Finish was not called.
  ~TZCompressionStream() override;
  int64_t Write(const void* buffer, int64_t count);
  // Ends the deflate data; a failed or short write of the destination raises EWriteFileStreamError.
  void Finish();
  int64_t Read(void*, int64_t);
  // Only (0, soCurrent): the count of input bytes.
  int64_t Seek(int64_t offset, TSeekOrigin origin);
  // Per cent saved so far.
  int CompressionRate() const;

 private:
  void WriteBuffer(const void* buffer, int64_t count);
  bool FFinished = false;
};

// Reads decompressed data from Source, using at most Length input bytes (0: up to the end of Source).
class TZDecompressionStream : public TCustomZStream {
 public:
  explicit TZDecompressionStream(TStream& source, int64_t length = 0, int windowBits = 15);
  ~TZDecompressionStream() override;
  int64_t Read(void* buffer, int64_t count);
  int64_t Write(const void*, int64_t);
  int64_t Seek(int64_t offset, TSeekOrigin origin);
  // True once inflate has read the end-of-stream marker.
  bool StreamEnded() const { return FEnd; }

 private:
  int64_t FSLength;
  int64_t FInitialLength;
  int FWindowBits;
  bool FEnd = false;
  void Restart();
};

}  // namespace hv
