#pragma once
// Byte layouts of the gzip member and the one-entry zip archive written by the copy engine.
#include <cstdint>
#include <string>
#include <string_view>

#include "hvwatchdog/copy/CopyStreams.h"

namespace hv {

// --- gzip ---
// Header up to the end of the name: FEXTRA with the 64-bit size sub-field (sizes 0, patched later).
std::string GzHeaderBytes(std::wstring_view name, uint32_t mtime);
constexpr int64_t kGzSizeFieldOffset = 16;
// The 16 bytes of the size sub-field: compressed and source size.
std::string GzSizeFieldBytes(int64_t cSize, int64_t uSize);
// CRC-32 and the low 32 bits of the source size.
std::string GzTrailerBytes(uint32_t crc, int64_t uSize);
// Reads the trailer at the stream's position: true when it holds crc and uSize and ends the stream.
bool CheckGzTrailer(TStream& stream, uint32_t crc, int64_t uSize);

struct TGzHeaderInfo {
  std::wstring Name;
  uint32_t MTime = 0;
  int64_t CSize = 0;
  int64_t USize = 0;
};
// Leaves the stream at the first data byte; 0, or the copy-error code of an unreadable header or of
// one that is not a gzip header with deflate data (also: reserved flags set, a wrong header CRC).
int ReadGzHeader(TStream& stream, TGzHeaderInfo& info);

// --- zip ---
bool IsOemName(std::wstring_view name);
// Latin-1 bytes to OEM bytes and back.
std::string AnsiToOemName(std::string_view bytes);
std::string OemToAnsiName(std::string_view bytes);
bool IsLatin1Text(std::wstring_view text);

struct TZipEntry {
  std::wstring Name;
  bool Zip64 = false;
  bool Deflate = false;
  uint32_t DosTime = 0;
  uint32_t Attributes = 0;
  uint32_t Crc = 0;
  uint64_t CSize = 0;
  uint64_t USize = 0;
};
// Decisions for a source of the given size.
TZipEntry MakeZipEntry(std::wstring_view name, int64_t size, bool compress, uint32_t dosTime, uint32_t attributes);
// The name bytes and whether they are UTF-8.
std::string ZipNameBytes(std::wstring_view name, bool& utf8);
uint16_t ZipFlags(const TZipEntry& e);
// Local header, name and Zip64 extra (sizes and CRC as in the entry).
std::string ZipLocalHeader(const TZipEntry& e);
// Offset of the Zip64 sizes in the local header.
int64_t ZipLocalZip64Offset(const TZipEntry& e);
// Central header, optional Zip64 end records and the end record, for a directory at dirOffset.
std::string ZipDirectory(const TZipEntry& e, uint64_t dirOffset);

struct TZipFileInfo {
  std::wstring Filename;
  uint16_t Flag = 0;
  uint16_t Method = 0;
  uint32_t TimeStamp = 0;
  uint32_t Crc = 0;
  int64_t CSize = 0;
  int64_t USize = 0;
};
// Reads the local header at the stream's position and leaves it at the first data byte.
bool ReadZipHeader(TStream& stream, TZipFileInfo& info);
// Reads from the stream's position (right after the entry's data) the central directory entry and
// the end records: true when the entry equals the local header and the records point at it and end
// the stream.
bool CheckZipDirectory(TStream& stream, const TZipFileInfo& local);

}  // namespace hv
