#include "hvwatchdog/copy/ZLibEx.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>

#include "base/text/StringUtils.h"

namespace hv {

struct TZState {
  z_stream z{};
};

namespace {
constexpr size_t kZBufferSize = 0x10000;
const wchar_t kInvalidOp[] = L"Invalid ZStream operation!";

std::wstring ZMessage(int code, const z_stream& z) {
  const char* msg = z.msg ? z.msg : zError(code);
  return Utf8ToWide(msg ? msg : "zlib error");
}
}  // namespace

int ZLevel(TZCompressionLevel level) {
  switch (level) {
    case TZCompressionLevel::zcNone: return 0;
    case TZCompressionLevel::zcFastest: return 1;
    case TZCompressionLevel::zcMax: return 9;
    default: return Z_DEFAULT_COMPRESSION;
  }
}

TCustomZStream::TCustomZStream(TStream& stream)
    : FStream(stream), FZStream(std::make_unique<TZState>()), FBuffer(kZBufferSize) {
  FStreamStartPos = FStream.Position();
  FStreamPos = FStreamStartPos;
}

TCustomZStream::~TCustomZStream() = default;

TZCompressionStream::TZCompressionStream(TStream& dest, TZCompressionLevel level, int windowBits)
    : TCustomZStream(dest) {
  z_stream& z = FZStream->z;
  z.next_out = FBuffer.data();
  z.avail_out = static_cast<uInt>(FBuffer.size());
  int rc = deflateInit2(&z, ZLevel(level), Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  if (rc < 0) throw EZCompressionError(ZMessage(rc, z));
}

TZCompressionStream::~TZCompressionStream() {
  if (!FFinished) {
    try {
      Finish();
    } catch (...) {
    }
  }
  deflateEnd(&FZStream->z);
}

void TZCompressionStream::WriteBuffer(const void* buffer, int64_t count) {
  // A handle stream writes straight through its handle; a short write is a full disk.
  if (count > 0) FStream.WriteAll(buffer, count);
}

int64_t TZCompressionStream::Write(const void* buffer, int64_t count) {
  z_stream& z = FZStream->z;
  z.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  z.avail_in = static_cast<uInt>(count);
  if (FStream.Position() != FStreamPos) FStream.SetPosition(FStreamPos);
  while (z.avail_in > 0) {
    int rc = deflate(&z, Z_NO_FLUSH);
    if (rc < 0 && rc != Z_BUF_ERROR) throw EZCompressionError(ZMessage(rc, z));
    if (z.avail_out == 0) {
      WriteBuffer(FBuffer.data(), static_cast<int64_t>(FBuffer.size()));
      z.next_out = FBuffer.data();
      z.avail_out = static_cast<uInt>(FBuffer.size());
      FStreamPos += static_cast<int64_t>(FBuffer.size());
      if (OnProgress) OnProgress();
    }
  }
  return count;
}

void TZCompressionStream::Finish() {
  if (FFinished) return;
  FFinished = true;
  z_stream& z = FZStream->z;
  z.next_in = nullptr;
  z.avail_in = 0;
  if (FStream.Position() != FStreamPos) FStream.SetPosition(FStreamPos);
  for (;;) {
    int rc = deflate(&z, Z_FINISH);
    if (rc < 0 && rc != Z_BUF_ERROR) throw EZCompressionError(ZMessage(rc, z));
    int64_t filled = static_cast<int64_t>(FBuffer.size()) - z.avail_out;
    if (filled > 0) {
      WriteBuffer(FBuffer.data(), filled);
      FStreamPos += filled;
      z.next_out = FBuffer.data();
      z.avail_out = static_cast<uInt>(FBuffer.size());
    }
    if (rc == Z_STREAM_END) break;
    if (filled == 0 && rc == Z_BUF_ERROR) throw EZCompressionError(ZMessage(rc, z));
  }
}

int64_t TZCompressionStream::Read(void*, int64_t) { throw EZCompressionError(kInvalidOp); }

int64_t TZCompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == TSeekOrigin::soCurrent) return static_cast<int64_t>(FZStream->z.total_in);
  throw EZCompressionError(kInvalidOp);
}

int TZCompressionStream::CompressionRate() const {
  const z_stream& z = FZStream->z;
  if (z.total_in == 0) return 0;
  return static_cast<int>((1.0 - static_cast<double>(z.total_out) / static_cast<double>(z.total_in)) * 100.0);
}

TZDecompressionStream::TZDecompressionStream(TStream& source, int64_t length, int windowBits)
    : TCustomZStream(source), FWindowBits(windowBits) {
  FSLength = length > 0 ? length : source.Size() - FStreamStartPos;
  FInitialLength = FSLength;
  z_stream& z = FZStream->z;
  int rc = inflateInit2(&z, windowBits);
  if (rc < 0) throw EZDecompressionError(ZMessage(rc, z));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZStream->z); }

void TZDecompressionStream::Restart() {
  z_stream& z = FZStream->z;
  inflateEnd(&z);
  z = z_stream{};
  int rc = inflateInit2(&z, FWindowBits);
  if (rc < 0) throw EZDecompressionError(ZMessage(rc, z));
  FStreamPos = FStreamStartPos;
  FSLength = FInitialLength;
  FEnd = false;
}

int64_t TZDecompressionStream::Read(void* buffer, int64_t count) {
  z_stream& z = FZStream->z;
  z.next_out = static_cast<Bytef*>(buffer);
  z.avail_out = static_cast<uInt>(count);
  if (FStream.Position() != FStreamPos) FStream.SetPosition(FStreamPos);
  while (z.avail_out > 0 && !FEnd) {
    if (z.avail_in == 0) {
      int64_t piece = std::min<int64_t>(static_cast<int64_t>(FBuffer.size()), FSLength);
      int64_t got = piece > 0 ? FStream.Read(FBuffer.data(), piece) : 0;
      if (got <= 0) break;
      FSLength -= got;
      z.next_in = FBuffer.data();
      z.avail_in = static_cast<uInt>(got);
      FStreamPos += got;
      if (OnProgress) OnProgress();
    }
    int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      FEnd = true;
    } else if (rc < 0 && rc != Z_BUF_ERROR) {
      throw EZDecompressionError(ZMessage(rc, z));
    } else if (rc == Z_NEED_DICT) {
      throw EZDecompressionError(ZMessage(Z_DATA_ERROR, z));
    }
  }
  if (FEnd && z.avail_in > 0) {
    FStreamPos -= z.avail_in;
    FSLength += z.avail_in;
    FStream.SetPosition(FStreamPos);
    z.avail_in = 0;
  }
  return count - z.avail_out;
}

int64_t TZDecompressionStream::Write(const void*, int64_t) { throw EZDecompressionError(kInvalidOp); }

int64_t TZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  z_stream& z = FZStream->z;
  auto skip = [&](int64_t n) {
    char buf[8192];
    while (n != 0) {
      int64_t want = n < 0 ? static_cast<int64_t>(sizeof buf) : std::min<int64_t>(n, sizeof buf);
      int64_t got = Read(buf, want);
      if (got <= 0) break;
      if (n > 0) n -= got;
    }
  };
  if (offset == 0 && origin == TSeekOrigin::soBeginning) {
    Restart();
  } else if (origin == TSeekOrigin::soCurrent && offset >= 0) {
    skip(offset);
  } else if (origin == TSeekOrigin::soBeginning && offset > static_cast<int64_t>(z.total_out)) {
    skip(offset - static_cast<int64_t>(z.total_out));
  } else if (origin == TSeekOrigin::soEnd && offset == 0) {
    skip(-1);
  } else {
    throw EZDecompressionError(kInvalidOp);
  }
  return static_cast<int64_t>(z.total_out);
}

}  // namespace hv
