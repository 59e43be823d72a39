#include "hvwatchdog/copy/FilePropUtils.h"

#include <windows.h>
#include <aclapi.h>
#include <objidl.h>

#include <cmath>
#include <memory>

#include "base/text/PathUtils.h"
#include "hvwatchdog/copy/CopyStreams.h"
#include "hvwatchdog/copy/CopySysUtils.h"

namespace hv {

namespace {
FILETIME ToFT(TFileTime t) { return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }
TFileTime FromFT(const FILETIME& f) { return (static_cast<TFileTime>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

// False for a value that is no valid time.
bool ToDateTime(TFileTime t, TDateTime& dt) { return FileTimeToDateTime(ToFT(t), dt); }

}  // namespace

void TFileTimestamps::SetTimeStamps(TDateTime cTime, TDateTime mTime) {
  Valid = true;
  CreationTime = LocalDateTimeToFileTime(cTime);
  LastAccessTime = LastWriteTime = LocalDateTimeToFileTime(mTime);
}

void TFileStreamData::Reset() {
  FileStream.Reset();
  BufferSize = 0;
}

void TFileData::Reset() {
  FileName.clear();
  FullPath.clear();
  FileSize = 0;
  FileAttr = FILE_ATTRIBUTE_ARCHIVE;
  TimeStamps.Reset();
  StreamData.Reset();
}

std::wstring LongPathXL(std::wstring_view name) {
  if (name.size() >= 248) {
    if (name[1] == L':') return L"\\\\?\\" + std::wstring(name);
    if (name.starts_with(L"\\\\") && !name.starts_with(L"\\\\?\\")) return L"\\\\?\\UNC\\" + std::wstring(name.substr(2));
  }
  return std::wstring(name);
}

bool ForceDirectoriesXL(std::wstring_view dir) {
  std::wstring d(dir);
  while (d.size() > 3 && (d.back() == L'\\' || d.back() == L'/')) d.pop_back();
  if (d.empty()) return false;
  DWORD a = GetFileAttributesW(LongPathXL(d).c_str());
  if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::wstring parent = GetParentDir(d);
  if (!parent.empty() && parent != d && !ForceDirectoriesXL(parent)) return false;
  return CreateDirectoryW(LongPathXL(d).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool FileExistsXL(std::wstring_view name, bool followLink) {
  int32_t a = FileGetAttrXL(name, followLink);
  return a != -1 && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t DeleteFileXL(std::wstring_view name, bool resetAttr) {
  if (resetAttr) {
    if (uint32_t rc = ChangeFileAttrXL(name, FILE_ATTRIBUTE_READONLY, true, false)) return rc;
  }
  return DeleteFileW(LongPathXL(name).c_str()) ? 0 : GetLastError();
}

uint32_t DeleteExistingFileXL(std::wstring_view name, bool resetAttr) {
  return FileExistsXL(name, true) ? DeleteFileXL(name, resetAttr) : 0;
}

uint32_t RenameFileXL(std::wstring_view oldName, std::wstring_view newName) {
  return MoveFileW(LongPathXL(oldName).c_str(), LongPathXL(newName).c_str()) ? 0 : GetLastError();
}

int32_t FileGetAttrXL(std::wstring_view name, bool followLink) {
  std::wstring n = LongPathXL(name);
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(n.c_str(), GetFileExInfoStandard, &d)) return -1;
  if (followLink && (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    TFileHandle h(CreateFileW(n.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h) return -1;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL ok = GetFileInformationByHandle(h.Get(), &info);
    return ok ? static_cast<int32_t>(info.dwFileAttributes) : -1;
  }
  return static_cast<int32_t>(d.dwFileAttributes);
}

uint32_t FileSetAttrXL(std::wstring_view name, uint32_t attr, bool followLink) {
  return SetFileAttributesW(LongPathXL(name).c_str(), attr & 0x31A7) ? 0 : GetLastError();
}

uint32_t ChangeFileAttr(std::wstring_view name, uint32_t attr, bool clear, bool followLink) {
  int32_t cur = FileGetAttrXL(name, followLink);
  if (cur == -1) return ERROR_FILE_NOT_FOUND;
  uint32_t now = static_cast<uint32_t>(cur);
  uint32_t want = clear ? now & ~attr : now | attr;
  if (want == now) return 0;
  return FileSetAttrXL(name, want, followLink);
}

uint32_t ChangeFileAttrXL(std::wstring_view name, uint32_t attr, bool clear, bool followLink) {
  return ChangeFileAttr(LongPathXL(name), attr, clear, followLink);
}

bool IsDirectory(std::wstring_view path) {
  int32_t a = FileGetAttrXL(path, false);
  return a != -1 && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool GetFileData(std::wstring_view name, TFileData& data) {
  data.Reset();
  data.FileName = ExtractFileName(name);
  WIN32_FIND_DATAW fd;
  if (!TFindHandle(FindFirstFileW(LongPathXL(name).c_str(), &fd))) return false;
  data.TimeStamps.Valid = true;
  data.TimeStamps.CreationTime = FromFT(fd.ftCreationTime);
  data.TimeStamps.LastAccessTime = FromFT(fd.ftLastAccessTime);
  data.TimeStamps.LastWriteTime = FromFT(fd.ftLastWriteTime);
  data.FileSize = (static_cast<int64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  data.FileAttr = fd.dwFileAttributes;
  return true;
}

namespace {
// Missing times become now; with checkTime so does a time more than a day ahead (local time).
TFileTimestamps CheckedTimestamps(const TFileTimestamps& times, bool checkTime) {
  TDateTime nowDt = NowLocal();
  TFileTime now = FromFT(DateTimeToFileTime(nowDt));
  TFileTimestamps t = times;
  if (!t.Valid) {
    t.CreationTime = t.LastAccessTime = t.LastWriteTime = now;
  } else if (checkTime) {
    for (TFileTime* p : {&t.CreationTime, &t.LastAccessTime, &t.LastWriteTime}) {
      FILETIME utc = ToFT(*p), local;
      TDateTime dt;
      if (!FileTimeToLocalFileTime(&utc, &local) || !ToDateTime(FromFT(local), dt) || dt - nowDt > 1.0) *p = now;
    }
  }
  return t;
}

uint32_t ApplyTimestamps(HANDLE h, const TFileTimestamps& t, bool allTimes) {
  FILETIME c = ToFT(t.CreationTime), a = ToFT(t.LastAccessTime), w = ToFT(t.LastWriteTime);
  BOOL ok = allTimes ? SetFileTime(h, &c, &a, &w) : SetFileTime(h, nullptr, nullptr, &w);
  return ok ? 0 : GetLastError();
}
}  // namespace

uint32_t SetFileTimestamps(std::wstring_view name, const TFileTimestamps& times, bool checkTime, bool allTimes,
                           bool followLink) {
  const TFileTimestamps t = CheckedTimestamps(times, checkTime);
  TFileHandle h(CreateFileW(LongPathXL(name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr));
  if (!h) return GetLastError();
  const uint32_t err = ApplyTimestamps(h.Get(), t, allTimes);
  const uint32_t closeErr = h.Close();
  return err ? err : closeErr;
}

uint32_t SetHandleTimestamps(void* handle, const TFileTimestamps& times, bool checkTime, bool allTimes) {
  return ApplyTimestamps(handle, CheckedTimestamps(times, checkTime), allTimes);
}

uint32_t SetHandleAttributes(void* handle, uint32_t attr) {
  FILE_BASIC_INFO info{};
  info.FileAttributes = attr & 0x31A7 ? attr & 0x31A7 : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info) ? 0 : GetLastError();
}

uint32_t SetHandleTimesAndAttributes(void* handle, const TFileTimestamps& times, bool checkTime, bool allTimes,
                                     uint32_t attr) {
  const TFileTimestamps t = CheckedTimestamps(times, checkTime);
  // Zero leaves a time as it is.
  FILE_BASIC_INFO info{};
  if (allTimes) {
    info.CreationTime.QuadPart = static_cast<LONGLONG>(t.CreationTime);
    info.LastAccessTime.QuadPart = static_cast<LONGLONG>(t.LastAccessTime);
  }
  info.LastWriteTime.QuadPart = static_cast<LONGLONG>(t.LastWriteTime);
  info.FileAttributes = attr & 0x31A7 ? attr & 0x31A7 : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info) ? 0 : GetLastError();
}

TFileTime LocalDateTimeToFileTime(TDateTime dt) {
  FILETIME local = DateTimeToFileTime(dt), utc;
  return LocalFileTimeToFileTime(&local, &utc) ? FromFT(utc) : FromFT(local);
}

int32_t FileTimeToDosTime(TFileTime ft) {
  FILETIME utc = ToFT(ft), local;
  WORD date, time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return -1;
  return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
}

int64_t DateTimeToUnixSeconds(TDateTime dt) { return std::llrint((dt - 25569.0) * 86400.0); }

int64_t FileTimeToUnixSeconds(TFileTime ft) {
  // Whole seconds straight from the file time: no rounding error of a date-time in between.
  if (ft == 0) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ft = FromFT(now);
  }
  return (static_cast<int64_t>(ft) - 116444736000000000LL + 5000000) / 10000000;
}

uint32_t CopyFileContents(std::wstring_view source, std::wstring_view dest, uint32_t bufSize) {
  if (SameFileName(source, dest)) return 0;
  try {
    auto src = THandleStream::OpenRead(source);
    TWriteFileStream dst(dest, true, FILE_FLAG_SEQUENTIAL_SCAN, 0);
    std::unique_ptr<char[]> buf(new char[bufSize ? bufSize : 0x40000]);
    if (!bufSize) bufSize = 0x40000;
    for (;;) {
      int64_t n = src->Read(buf.get(), bufSize);
      if (n > 0 && dst.Write(buf.get(), n) != n) return ERROR_DISK_FULL;
      if (n < bufSize) break;
    }
    return dst.Close();
  } catch (const EOSError& e) {
    return e.ErrorCode();
  } catch (const EFileStreamError& e) {
    return e.ErrorCode();
  } catch (...) {
    return ERROR_GEN_FAILURE;
  }
}

uint32_t ListDataStreams(std::wstring_view file, std::vector<std::wstring>& names) {
  names.clear();
  TStreamSearchRec rec;
  uint32_t rc = FindFirstDataStream(file, rec);
  while (rc == 0) {
    names.push_back(rec.StreamName);
    rc = FindNextDataStream(rec);
  }
  FindCloseDataStream(rec);
  return rc == ERROR_HANDLE_EOF ? 0 : rc;
}

uint32_t CopyAlternateStreams(std::wstring_view source, std::wstring_view dest, const TStreamLister& lister,
                              const TStreamCopier& copier) {
  std::vector<std::wstring> names;
  if (uint32_t rc = lister(source, names)) return rc;
  for (const auto& full : names) {
    // ":name:$DATA" -> name; the main stream "::$DATA" has an empty name and is skipped.
    std::wstring_view s(full);
    size_t dollar = s.find(L'$');
    if (dollar != std::wstring_view::npos) s = s.substr(0, dollar);
    if (!s.empty() && s.front() == L':') s.remove_prefix(1);
    if (!s.empty() && s.back() == L':') s.remove_suffix(1);
    if (s.empty()) continue;
    std::wstring name(s);
    if (uint32_t rc = copier(std::wstring(source) + L":" + name, std::wstring(dest) + L":" + name)) return rc;
  }
  return 0;
}

uint32_t CopyAlternateStreams(std::wstring_view source, std::wstring_view dest) {
  return CopyAlternateStreams(source, dest, ListDataStreams,
                              [](std::wstring_view s, std::wstring_view d) { return CopyFileContents(s, d, 0x40000); });
}

uint32_t CopyFileSecurity(std::wstring_view source, std::wstring_view dest) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  std::wstring s(source), d(dest);
  DWORD rc = GetNamedSecurityInfoW(s.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                   nullptr, &sd);
  if (rc != ERROR_SUCCESS) return rc;
  rc = SetNamedSecurityInfoW(d.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
  LocalFree(sd);
  return rc;
}

uint32_t CreateUtf8BomFile(std::wstring_view fileName) {
  try {
    TWriteFileStream f(fileName, true, 0, 0);
    static const unsigned char bom[] = {0xEF, 0xBB, 0xBF};
    f.WriteAll(bom, 3);
    return f.Close();
  } catch (const EFileStreamError& e) {
    return e.ErrorCode();
  }
}

std::wstring PathWithoutDrive(std::wstring_view path) {
  size_t rootLen = 0;
  if (path.size() >= 2 && path[1] == L':') {
    rootLen = 2;
  } else if (path.starts_with(L"\\\\")) {
    size_t server = path.find(L'\\', 2);
    if (server == std::wstring_view::npos) return std::wstring();
    size_t share = path.find(L'\\', server + 1);
    rootLen = share == std::wstring_view::npos ? path.size() : share;
  } else {
    return std::wstring(path);
  }
  std::wstring_view rest = path.substr(rootLen);
  while (!rest.empty() && rest.front() == L'\\') rest.remove_prefix(1);
  return std::wstring(rest);
}

std::wstring ChangeExtWithSuffix(std::wstring_view name, std::wstring_view suffix, std::wstring_view ext) {
  std::wstring e(ext);
  if (!e.empty() && e.front() != L'.') e.insert(0, 1, L'.');
  return DeleteExtension(name) + std::wstring(suffix) + e;
}

std::wstring InsertNameSuffix(std::wstring_view name, std::wstring_view suffix) {
  return ChangeExtWithSuffix(name, suffix, GetExtension(name));
}

std::wstring SlashToBackslash(std::wstring_view name) {
  std::wstring s(name);
  for (auto& c : s)
    if (c == L'/') c = L'\\';
  return s;
}

}  // namespace hv
