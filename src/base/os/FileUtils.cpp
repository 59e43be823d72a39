#include "base/os/FileUtils.h"

#include <psapi.h>

#include <cmath>
#include <iterator>
#include <optional>
#include <vector>

#include "base/os/FileConsts.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"

namespace hv {

namespace {

constexpr double kTicksPerDay = 864000000000.0;  // 100-ns units
constexpr double kDaysFrom1601To1899 = 109205.0;

std::wstring FullPath(const std::wstring& name) {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(std::size(buf)), buf, nullptr);
  return n && n < std::size(buf) ? std::wstring(buf, n) : name;
}

// Sharing of a mode's low byte; false for a value that names none.
bool ShareMode(uint16_t mode, DWORD& share) {
  switch (mode & 0xF0) {
    case 0x00:
    case fmShareExclusive: share = 0; return true;
    case fmShareDenyWrite: share = FILE_SHARE_READ; return true;
    case fmShareDenyRead: share = FILE_SHARE_WRITE; return true;
    case fmShareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; return true;
    default: return false;
  }
}

uint64_t ToUInt64(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }
FILETIME ToFileTime(uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

std::wstring FolderOf(const std::wstring& path) {
  size_t p = path.find_last_of(L"\\/");
  return p == std::wstring::npos ? std::wstring() : path.substr(0, p + 1);
}

}  // namespace

// --- TExtFileStream ---

TExtFileStream::TExtFileStream(std::wstring_view fileName, uint16_t mode, uint32_t rights) {
  const std::wstring name(fileName);
  const bool create = (mode & 0xFF00) == fmCreate;
  uint16_t low = mode & 0xFF;
  if (create && low == 0xFF) low = fmShareExclusive;
  DWORD share = 0, access = 0;
  bool valid = ShareMode(low, share);
  if (create) {
    access = GENERIC_READ | GENERIC_WRITE;
  } else {
    static const DWORD accessModes[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    valid = valid && (low & 3) < 3;
    if (valid) access = accessModes[low & 3];
  }
  DWORD error = ERROR_INVALID_PARAMETER;
  if (valid) {
    FHandle.Reset(CreateFileW(name.c_str(), access, share, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle) error = GetLastError();
  }
  if (!FHandle)
    throw EExtFileStreamError::CreateResFmt(create ? rsCannotCreateFile : rsCannotOpenFile, error, FullPath(name),
                                            SystemErrorText(error));
  FFileName = name;
}

uint32_t TExtFileStream::Read(void* buffer, uint32_t count, int64_t& readCount) noexcept {
  DWORD n = 0;
  if (!ReadFile(FHandle.Get(), buffer, count, &n, nullptr)) {
    const DWORD error = GetLastError();
    readCount = -1;
    return error ? error : ERROR_READ_FAULT;
  }
  readCount = n;
  return 0;
}

uint32_t TExtFileStream::Write(const void* buffer, uint32_t count, int64_t& writeCount) noexcept {
  DWORD n = 0;
  if (!WriteFile(FHandle.Get(), buffer, count, &n, nullptr)) {
    const DWORD error = GetLastError();
    writeCount = -1;
    return error ? error : ERROR_WRITE_FAULT;
  }
  writeCount = n;
  return 0;
}

int64_t TExtFileStream::Seek(int64_t offset, DWORD origin) noexcept {
  LARGE_INTEGER distance, position;
  distance.QuadPart = offset;
  return SetFilePointerEx(FHandle.Get(), distance, &position, origin) ? position.QuadPart : -1;
}

int64_t TExtFileStream::Size() const noexcept {
  LARGE_INTEGER size;
  return GetFileSizeEx(FHandle.Get(), &size) ? size.QuadPart : -1;
}

uint32_t TExtFileStream::SetSize(int64_t size) noexcept {
  if (Seek(size, FILE_BEGIN) < 0 || !SetEndOfFile(FHandle.Get())) return GetLastError();
  return 0;
}

// --- File times ---

TDateTime NowLocal() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  TDateTime dt = 0;
  FileTimeToDateTime(ft, dt);
  return dt;
}

std::wstring DateTimeText(const SYSTEMTIME& t) {
  wchar_t date[128], time[128];
  const int nd = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date,
                                 static_cast<int>(std::size(date)), nullptr);
  const int nt = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, time, static_cast<int>(std::size(time)));
  return std::wstring(date, nd > 0 ? static_cast<size_t>(nd - 1) : 0) + L" " +
         std::wstring(time, nt > 0 ? static_cast<size_t>(nt - 1) : 0);
}

bool FileTimeToDateTime(const FILETIME& fileTime, TDateTime& dateTime) {
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&fileTime, &st)) {
    dateTime = NowLocal();
    return false;
  }
  // Before 1899-12-30 the day counts down and the time of day is still added as a positive part.
  double x = static_cast<double>(ToUInt64(fileTime)) / kTicksPerDay - kDaysFrom1601To1899;
  if (x >= 0) {
    dateTime = x;
  } else {
    double days = std::floor(x);
    dateTime = days - (x - days);
  }
  return true;
}

FILETIME DateTimeToFileTime(TDateTime dateTime) {
  double days = std::trunc(dateTime);
  double x = days + std::fabs(dateTime - days);
  double ticks = std::round((x + kDaysFrom1601To1899) * kTicksPerDay);
  // Out of the range of file times (also NaN): no time.
  if (!(ticks > 0 && ticks < 9223372036854775808.0)) return NullFileTime();
  return ToFileTime(static_cast<uint64_t>(ticks));
}

uint32_t GetFileAttrData(std::wstring_view name, WIN32_FILE_ATTRIBUTE_DATA& data, bool followLink) {
  const std::wstring file(name);
  if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    std::wstring target;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && followLink && GetReparseTarget(file, target)) {
      if (!IsAbsolutePath(target)) target = FolderOf(file) + target;
      if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) return GetLastError();
    }
    return 0;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return error;
  WIN32_FIND_DATAW fd;
  TFindHandle find(FindFirstFileW(file.c_str(), &fd));
  if (!find || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_SHARING_VIOLATION;
  data.dwFileAttributes = fd.dwFileAttributes;
  data.ftCreationTime = fd.ftCreationTime;
  data.ftLastAccessTime = fd.ftLastAccessTime;
  data.ftLastWriteTime = fd.ftLastWriteTime;
  data.nFileSizeHigh = fd.nFileSizeHigh;
  data.nFileSizeLow = fd.nFileSizeLow;
  return 0;
}

FILETIME GetFileWriteTime(std::wstring_view name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttrData(name, data, true) == 0 ? data.ftLastWriteTime : NullFileTime();
}

uint32_t SetFileWriteTime(std::wstring_view name, const FILETIME& fileTime, bool checkFuture) {
  FILETIME time = fileTime;
  if (checkFuture) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&time, &st) || ToUInt64(time) > ToUInt64(now) + uint64_t(kTicksPerDay)) time = now;
  }
  const std::wstring file(name);
  TFileHandle h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return GetLastError();
  if (!SetFileTime(h.Get(), nullptr, nullptr, &time)) return GetLastError();
  return h.Close();
}

// --- Links ---

std::wstring DeviceToDrivePath(std::wstring_view devicePath) {
  static constexpr std::wstring_view mup = L"\\Device\\Mup\\";
  if (devicePath.size() > mup.size() && TextPos(mup, devicePath) == 0)
    return L"\\\\" + std::wstring(devicePath.substr(mup.size()));
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    const wchar_t drive[3] = {wchar_t(L'A' + i), L':', 0};
    wchar_t device[MAX_PATH];
    if (!QueryDosDeviceW(drive, device, static_cast<DWORD>(std::size(device)))) continue;
    const std::wstring prefix = std::wstring(device) + L"\\";
    if (devicePath.size() >= prefix.size() && TextPos(prefix, devicePath) == 0)
      return std::wstring(drive) + std::wstring(devicePath.substr(prefix.size() - 1));
  }
  return L"";
}

namespace {

struct TObjectName {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
using NtQueryObjectFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

std::wstring MappedFileName(const std::wstring& name) {
  TFileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return L"";
  TKernelHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 1, nullptr));
  if (!mapping) return L"";
  TMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 1));
  if (!view) return L"";
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetMappedFileNameW(GetCurrentProcess(), view.Get(), buf, static_cast<DWORD>(std::size(buf)));
  return std::wstring(buf, n);
}

std::wstring ObjectName(HANDLE h) {
  static const NtQueryObjectFn query = reinterpret_cast<NtQueryObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  if (!query) return L"";
  alignas(8) BYTE buf[sizeof(TObjectName) + 2 * 32768];
  ULONG n = 0;
  if (query(h, 1 /* ObjectNameInformation */, buf, sizeof(buf), &n) < 0) return L"";
  const auto* info = reinterpret_cast<const TObjectName*>(buf);
  return info->Buffer ? std::wstring(info->Buffer, info->Length / sizeof(wchar_t)) : std::wstring();
}

}  // namespace

bool GetReparseTarget(std::wstring_view name, std::wstring& target) {
  if (WindowsMajorVersion() < 6) return false;
  const std::wstring file(name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) ||
      !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  const bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  TFileHandle h(CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr));
  if (!h) return false;
  std::wstring device;
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetFinalPathNameByHandleW(h.Get(), buf, static_cast<DWORD>(std::size(buf)), VOLUME_NAME_NT);
  if (n && n < std::size(buf)) device.assign(buf, n);
  if (device.empty() && !folder && (data.nFileSizeLow || data.nFileSizeHigh)) device = MappedFileName(file);
  if (device.empty()) device = ObjectName(h.Get());
  std::wstring path = device.empty() ? std::wstring() : DeviceToDrivePath(device);
  // A target that cannot be named as a drive path is no answer.
  if (path.empty()) return false;
  target = path;
  return true;
}

// --- Copy ---

namespace {

[[noreturn]] void RaiseCopyError(const wchar_t* msgid, std::wstring_view name, uint32_t code) {
  throw ECopyError(SafeFormat(_(msgid), name), code);
}

// Removes the temporary copy unless it was renamed into place.
struct TTempFileGuard {
  std::wstring Name;
  ~TTempFileGuard() {
    if (Name.empty()) return;
    SetFileAttributesW(Name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Name.c_str());
  }
};

}  // namespace

void CopyFileTimeAttr(std::wstring_view source, std::wstring_view dest, int32_t attr, uint32_t bufferSize) {
  if (SameFileName(source, dest)) return;
  WIN32_FILE_ATTRIBUTE_DATA sourceData;
  if (dest.empty() || GetFileAttrData(source, sourceData, true) != 0) RaiseCopyError(rsFileNotFound, source, 2);
  if (bufferSize == 0) bufferSize = 0x10000;
  std::vector<char> buffer(bufferSize);
  const FILETIME sourceTime = GetFileWriteTime(source);
  const DWORD attributes = (attr >= 0 ? static_cast<DWORD>(attr) : sourceData.dwFileAttributes) & 0xFFFF;

  // A link as destination is written through to its target.
  std::wstring finalDest(dest);
  WIN32_FILE_ATTRIBUTE_DATA destData;
  const bool destExists = GetFileAttributesExW(finalDest.c_str(), GetFileExInfoStandard, &destData) != 0;
  std::wstring linkTarget;
  if (destExists && (destData.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      GetReparseTarget(finalDest, linkTarget))
    finalDest = IsAbsolutePath(linkTarget) ? linkTarget : FolderOf(finalDest) + linkTarget;

  std::optional<TExtFileStream> in;
  try {
    in.emplace(source, fmOpenRead | fmShareDenyNone);
  } catch (const EExtFileStreamError& e) {
    RaiseCopyError(rsErrOpening, source, e.ErrorCode());
  }

  TTempFileGuard temp;
  std::wstring folder = FolderOf(FullPath(finalDest));
  wchar_t tempName[MAX_PATH + 1];
  if (!GetTempFileNameW(folder.empty() ? L"." : folder.c_str(), L"hv", 0, tempName)) {
    DWORD error = GetLastError();
    // A missing folder is named as such, as creating the file itself would.
    if (error == ERROR_DIRECTORY && GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
      error = ERROR_PATH_NOT_FOUND;
    RaiseCopyError(rsErrCreating, dest, error);
  }
  temp.Name = tempName;
  std::optional<TExtFileStream> out;
  try {
    out.emplace(temp.Name, fmCreate);
  } catch (const EExtFileStreamError& e) {
    RaiseCopyError(rsErrCreating, dest, e.ErrorCode());
  }

  for (;;) {
    int64_t readCount = 0, writeCount = 0;
    if (uint32_t error = in->Read(buffer.data(), bufferSize, readCount)) RaiseCopyError(rsErrReading, source, error);
    if (readCount > 0) {
      if (uint32_t error = out->Write(buffer.data(), static_cast<uint32_t>(readCount), writeCount))
        RaiseCopyError(rsErrWriting, dest, error);
      if (writeCount < readCount) RaiseCopyError(rsErrWriting, dest, ERROR_DISK_FULL);
    }
    if (readCount < static_cast<int64_t>(bufferSize)) break;
  }
  in->Close();
  // Data the system could not write out shows at the close.
  if (uint32_t error = out->Close()) RaiseCopyError(rsErrWriting, dest, error);

  if (uint32_t error = SetFileWriteTime(temp.Name, sourceTime, true)) RaiseCopyError(rsErrSetTime, dest, error);
  const DWORD oldDestAttr = GetFileAttributesW(finalDest.c_str());
  if (oldDestAttr != INVALID_FILE_ATTRIBUTES && !SetFileAttributesW(finalDest.c_str(), FILE_ATTRIBUTE_ARCHIVE)) {
    const DWORD error = GetLastError();
    RaiseCopyError(rsErrCreating, dest, error);
  }
  if (!MoveFileExW(temp.Name.c_str(), finalDest.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD error = GetLastError();
    // The destination stays as it was, its attributes included.
    if (oldDestAttr != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(finalDest.c_str(), oldDestAttr);
    RaiseCopyError(rsErrCreating, dest, error);
  }
  temp.Name.clear();
  if (!SetFileAttributesW(finalDest.c_str(), attributes)) {
    const DWORD error = GetLastError();
    RaiseCopyError(rsErrSetAttr, dest, error);
  }
}

bool IsDirEmpty(std::wstring_view dir) {
  WIN32_FIND_DATAW fd;
  TFindHandle find(FindFirstFileW(AddPath(dir, L"*.*").c_str(), &fd));
  if (!find) return true;
  do {
    if (IsNotDotEntry(fd.cFileName)) return false;
  } while (FindNextFileW(find.Get(), &fd));
  return true;
}

std::string ReadFileBytes(std::wstring_view fileName) {
  TExtFileStream f(fileName, fmOpenRead | fmShareDenyNone);
  std::string data;
  char buf[64 * 1024];
  for (;;) {
    int64_t got = 0;
    if (uint32_t err = f.Read(buf, sizeof buf, got))
      throw EExtFileStreamError(SystemErrorText(err) + L" - " + std::wstring(fileName), err);
    if (got <= 0) return data;
    data.append(buf, static_cast<size_t>(got));
  }
}

}  // namespace hv
