#include "hvwatchdog/copy/CopyStreams.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace hv {

EFileStreamError::EFileStreamError(uint32_t code)
    : Exception(SafeFormat(L"System error: %s", SystemErrorText(code))), FCode(code) {}

int64_t TStream::Size() {
  int64_t pos = Position();
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  SetPosition(pos);
  return size;
}

bool TStream::ReadExact(void* buffer, int64_t count) {
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    int64_t n = Read(p, count);
    if (n <= 0) return false;
    p += n;
    count -= n;
  }
  return true;
}

void TStream::WriteAll(const void* buffer, int64_t count) {
  if (Write(buffer, count) != count) throw EWriteFileStreamError(ERROR_DISK_FULL);
}

std::unique_ptr<THandleStream> THandleStream::OpenRead(std::wstring_view name) {
  std::wstring n(name);
  HANDLE h = CreateFileW(n.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    throw EOSError(L"CreateFile", err, name);
  }
  return std::make_unique<THandleStream>(h);
}

int64_t THandleStream::Read(void* buffer, int64_t count) {
  auto* p = static_cast<char*>(buffer);
  int64_t total = 0;
  while (count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count, 0x40000000));
    DWORD got = 0;
    if (!ReadFile(FHandle.Get(), p, chunk, &got, nullptr)) {
      DWORD err = GetLastError();
      if (err == ERROR_HANDLE_EOF) break;
      throw EReadFileStreamError(err);
    }
    total += got;
    if (got < chunk) break;
    p += got;
    count -= got;
  }
  return total;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  auto* p = static_cast<const char*>(buffer);
  int64_t total = 0;
  while (count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count, 0x40000000));
    DWORD put = 0;
    if (!WriteFile(FHandle.Get(), p, chunk, &put, nullptr)) {
      DWORD err = GetLastError();
      throw EWriteFileStreamError(err);
    }
    total += put;
    if (put < chunk) break;
    p += put;
    count -= put;
  }
  return total;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = offset;
  DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                 : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                    : FILE_END;
  if (!SetFilePointerEx(FHandle.Get(), d, &r, method)) {
    DWORD err = GetLastError();
    throw EFileStreamError(err);
  }
  return r.QuadPart;
}

int64_t THandleStream::Size() {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(FHandle.Get(), &s)) {
    DWORD err = GetLastError();
    throw EFileStreamError(err);
  }
  return s.QuadPart;
}

uint32_t THandleStream::Flush() { return FlushFileBuffers(FHandle.Get()) ? 0 : GetLastError(); }

namespace {
HANDLE CreateDest(std::wstring_view fileName, bool overwrite, uint32_t writeMode, uint32_t shareMode) {
  std::wstring n(fileName);
  // DELETE: the engine renames the finished copy through this handle.
  HANDLE h = CreateFileW(n.c_str(), GENERIC_WRITE | DELETE, shareMode, nullptr, overwrite ? CREATE_ALWAYS : CREATE_NEW,
                         writeMode | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    throw EWriteFileStreamError(err);
  }
  return h;
}
}  // namespace

TWriteFileStream::TWriteFileStream(std::wstring_view fileName, bool overwrite, uint32_t writeMode, uint32_t shareMode)
    : THandleStream(CreateDest(fileName, overwrite, writeMode, shareMode)) {}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t n = std::clamp<int64_t>(static_cast<int64_t>(FData.size()) - FPos, 0, count);
  if (n > 0) std::memcpy(buffer, FData.data() + FPos, static_cast<size_t>(n));
  FPos += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (FPos + count > static_cast<int64_t>(FData.size())) FData.resize(static_cast<size_t>(FPos + count));
  std::memcpy(FData.data() + FPos, buffer, static_cast<size_t>(count));
  FPos += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? FPos
                                                    : static_cast<int64_t>(FData.size());
  if (base + offset < 0) throw EFileStreamError(ERROR_NEGATIVE_SEEK);
  FPos = base + offset;
  return FPos;
}

}  // namespace hv
