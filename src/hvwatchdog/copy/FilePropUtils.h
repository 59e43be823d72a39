#pragma once
// File helpers of the watchdog: long names, attributes, time stamps, the source record, stream and ACL copies.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <objidl.h>
#include <wrl/client.h>

#include "base/os/FileUtils.h"

namespace hv {

// 100-ns units since 1601 (UTC), as FILETIME.
using TFileTime = uint64_t;

struct TFileTimestamps {
  bool Valid = false;
  TFileTime CreationTime = 0;
  TFileTime LastAccessTime = 0;
  TFileTime LastWriteTime = 0;
  void Reset() { *this = TFileTimestamps{}; }
  // Local date-times.
  void SetTimeStamps(TDateTime cTime, TDateTime mTime);
};

struct TFileStreamData {
  Microsoft::WRL::ComPtr<IStream> FileStream;
  uint32_t BufferSize = 0;
  void Reset();
};

struct TFileData {
  std::wstring FileName;
  std::wstring FullPath;
  TFileStreamData StreamData;
  int64_t FileSize = 0;
  uint32_t FileAttr = 0x20;
  TFileTimestamps TimeStamps;
  void Reset();
};

std::wstring LongPathXL(std::wstring_view name);
bool ForceDirectoriesXL(std::wstring_view dir);
bool FileExistsXL(std::wstring_view name, bool followLink);
uint32_t DeleteFileXL(std::wstring_view name, bool resetAttr);
uint32_t DeleteExistingFileXL(std::wstring_view name, bool resetAttr);
uint32_t RenameFileXL(std::wstring_view oldName, std::wstring_view newName);
// -1 when unreadable.
int32_t FileGetAttrXL(std::wstring_view name, bool followLink);
uint32_t FileSetAttrXL(std::wstring_view name, uint32_t attr, bool followLink);
uint32_t ChangeFileAttr(std::wstring_view name, uint32_t attr, bool clear, bool followLink);
uint32_t ChangeFileAttrXL(std::wstring_view name, uint32_t attr, bool clear, bool followLink);
bool IsDirectory(std::wstring_view path);

// False when the file is not found.
bool GetFileData(std::wstring_view name, TFileData& data);
uint32_t SetFileTimestamps(std::wstring_view name, const TFileTimestamps& times, bool checkTime, bool allTimes,
                           bool followLink);
// The same on a handle open for writing (no second open of the file).
uint32_t SetHandleTimestamps(void* handle, const TFileTimestamps& times, bool checkTime, bool allTimes);
// Attributes through a handle open for writing; 0 or the Windows error code.
uint32_t SetHandleAttributes(void* handle, uint32_t attr);
// Both in one call; 0 or the Windows error code.
uint32_t SetHandleTimesAndAttributes(void* handle, const TFileTimestamps& times, bool checkTime, bool allTimes,
                                     uint32_t attr);

TFileTime LocalDateTimeToFileTime(TDateTime dt);
// DOS date in the high word, DOS time in the low word (local time); -1 on failure.
int32_t FileTimeToDosTime(TFileTime ft);
int64_t DateTimeToUnixSeconds(TDateTime dt);
int64_t FileTimeToUnixSeconds(TFileTime ft);

uint32_t CopyFileContents(std::wstring_view source, std::wstring_view dest, uint32_t bufSize);

// Stream names as the system reports them (":name:$DATA"), and a copier of one named stream.
using TStreamLister = std::function<uint32_t(std::wstring_view file, std::vector<std::wstring>& names)>;
using TStreamCopier = std::function<uint32_t(std::wstring_view source, std::wstring_view dest)>;
// The system's stream enumeration; 38 at the end counts as success.
uint32_t ListDataStreams(std::wstring_view file, std::vector<std::wstring>& names);
uint32_t CopyAlternateStreams(std::wstring_view source, std::wstring_view dest);
uint32_t CopyAlternateStreams(std::wstring_view source, std::wstring_view dest, const TStreamLister& lister,
                              const TStreamCopier& copier);
uint32_t CopyFileSecurity(std::wstring_view source, std::wstring_view dest);
uint32_t CreateUtf8BomFile(std::wstring_view fileName);

std::wstring PathWithoutDrive(std::wstring_view path);
std::wstring ChangeExtWithSuffix(std::wstring_view name, std::wstring_view suffix, std::wstring_view ext);
std::wstring InsertNameSuffix(std::wstring_view name, std::wstring_view suffix);
std::wstring SlashToBackslash(std::wstring_view name);

}  // namespace hv
