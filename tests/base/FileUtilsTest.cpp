#include "base/os/FileUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "support/TestSupport.h"

using namespace hv;

namespace {

uint64_t U64(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }
FILETIME FT(uint64_t v) { return FILETIME{DWORD(v), DWORD(v >> 32)}; }
constexpr uint64_t kHour = 36000000000ull;

uint64_t NowUtc() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return U64(ft);
}

bool SetWriteTime(const std::wstring& name, uint64_t t) {
  HANDLE h = CreateFileW(name.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME ft = FT(t);
  bool ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  return ok;
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = char(i * 7 + i / 251);
  return s;
}

// Files left in a folder besides the given ones (no temporary copies may stay behind).
int CountFiles(const std::wstring& dir) {
  int n = 0;

  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) n++;
  } while (FindNextFileW(f, &fd));
  FindClose(f);
  return n;
}

}  // namespace

TEST(ExtFileStream, ReadWriteSeekAndErrorCodes) {
  hvtest::TempDir dir;
  const std::wstring name = dir / L"s.bin";
  {
    TExtFileStream s(name, fmCreate);
    int64_t n = 0;
    EXPECT_EQ(s.Write("abcdef", 6, n), 0u);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Seek(2, FILE_BEGIN), 2);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8, n), 0u);
    EXPECT_EQ(std::string(buf, size_t(n)), "cdef");
    EXPECT_EQ(s.Read(buf, 8, n), 0u);
    EXPECT_EQ(n, 0) << "end of file";
    EXPECT_EQ(s.SetSize(3), 0u);
    EXPECT_EQ(s.FileName(), name);
  }
  EXPECT_EQ(hvtest::ReadBytes(name), "abc");

  TExtFileStream reader(name, fmOpenRead | fmShareDenyWrite);
  int64_t n = 0;
  EXPECT_EQ(reader.Write("x", 1, n), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(n, -1);
  try {
    TExtFileStream writer(name, fmOpenWrite | fmShareDenyNone);
    FAIL() << "a deny-write reader keeps writers out";
  } catch (const EExtFileStreamError& e) {
    EXPECT_EQ(e.ErrorCode(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  }
  TExtFileStream second(name, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(second.Size(), 3);
}

TEST(ExtFileStream, ConstructorErrorsNameTheFullPath) {
  hvtest::TempDir dir;
  SetCurrentDirectoryW(dir.Path().c_str());
  struct Case { const wchar_t* name; uint16_t mode; uint32_t code; const wchar_t* text; } cases[] = {
      {L"missing.bin", fmOpenRead, ERROR_FILE_NOT_FOUND, L"Cannot open file \""},
      {L"no-folder\\new.bin", fmCreate, ERROR_PATH_NOT_FOUND, L"Cannot create file \""},
      {L"x.bin", fmOpenRead | 3, ERROR_INVALID_PARAMETER, L"Cannot open file \""},
  };
  for (const auto& c : cases) {
    try {
      TExtFileStream s(c.name, c.mode);
      ADD_FAILURE() << "no exception for " << c.name;
    } catch (const EExtFileStreamError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << c.name;
      EXPECT_EQ(e.Message().find(c.text), 0u) << e.what();
      EXPECT_NE(e.Message().find(dir / c.name), std::wstring::npos) << e.what();
    }
  }
  SetCurrentDirectoryW(L"C:\\");
}

TEST(ExtFileStream, ReadFileBytesWholeOrError) {
  hvtest::TempDir dir;
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"data.bin", bytes));
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"empty.bin", ""));
  EXPECT_EQ(ReadFileBytes(dir / L"data.bin"), bytes);
  EXPECT_EQ(ReadFileBytes(dir / L"empty.bin"), "");
  try {
    ReadFileBytes(dir / L"missing.bin");
    ADD_FAILURE() << "no error";
  } catch (const EExtFileStreamError& e) {
    EXPECT_EQ(e.ErrorCode(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  }
}

TEST(FileTimes, DateTimeConversionsKeepTheZone) {
  struct Case { uint64_t ticks; double dt; } cases[] = {
      {109205ull * 864000000000ull, 0.0},                              // 1899-12-30 00:00
      {(109205ull + 45292) * 864000000000ull + 12 * kHour, 45292.5},   // 2024-01-01 12:00
      {109204ull * 864000000000ull + 18 * kHour, -1.75},               // 1899-12-29 18:00
  };
  for (const auto& c : cases) {
    TDateTime dt = 99;
    EXPECT_TRUE(FileTimeToDateTime(FT(c.ticks), dt));
    EXPECT_NEAR(dt, c.dt, 1e-9) << c.dt;
    EXPECT_EQ(U64(DateTimeToFileTime(c.dt)), c.ticks) << c.dt;
  }
  TDateTime dt = 0;
  EXPECT_FALSE(FileTimeToDateTime(FT(0xFFFFFFFFFFFFFFFFull), dt));
  EXPECT_NEAR(dt, NowLocal(), 1.0 / 1440) << "an invalid time gives now";
  EXPECT_TRUE(IsNullFileTime(NullFileTime()));
  // A date-time far out of range (a damaged stored value) is no time, not an undefined conversion.
  for (double bad : {1e300, -1e300, std::nan(""), std::numeric_limits<double>::infinity(), 11464869.0})
    EXPECT_TRUE(IsNullFileTime(DateTimeToFileTime(bad))) << bad;
}

TEST(FileTimes, DateTimeTextHoldsDateAndTimeWithoutTerminators) {
  struct Case { SYSTEMTIME st; const wchar_t* year; const wchar_t* minSec; } cases[] = {
      {{2026, 12, 5, 11, 8, 5, 9, 0}, L"2026", L"05:09"},
      {{2024, 2, 4, 29, 23, 59, 58, 999}, L"2024", L"59:58"},
      {{1999, 1, 5, 1, 0, 0, 0, 0}, L"1999", L"00:00"},
  };
  for (const auto& c : cases) {
    const std::wstring text = DateTimeText(c.st);
    EXPECT_EQ(text.find(L'\0'), std::wstring::npos) << c.year;
    const size_t year = text.find(c.year), time = text.find(c.minSec);
    ASSERT_NE(year, std::wstring::npos) << text;
    ASSERT_NE(time, std::wstring::npos) << text;
    EXPECT_LT(year, time) << "date first: " << text;
    EXPECT_NE(text.front(), L' ');
    EXPECT_NE(text.back(), L' ');
  }
}

TEST(FileTimes, SetFileWriteTimeReplacesOnlyFarFutureTimesWithUtcNow) {
  hvtest::TempDir dir;
  const std::wstring name = dir / L"t.txt";
  ASSERT_TRUE(hvtest::WriteBytes(name, "x"));
  const uint64_t now = NowUtc();

  EXPECT_EQ(SetFileWriteTime(name, FT(now + 12 * kHour), true), 0u);
  EXPECT_EQ(U64(GetFileWriteTime(name)), now + 12 * kHour) << "half a day ahead is kept";

  EXPECT_EQ(SetFileWriteTime(name, FT(now + 48 * kHour), true), 0u);
  const uint64_t stored = U64(GetFileWriteTime(name));
  EXPECT_LT(stored > now ? stored - now : now - stored, kHour / 60) << "replaced by the current UTC time";

  EXPECT_EQ(SetFileWriteTime(name, FT(now + 48 * kHour), false), 0u);
  EXPECT_EQ(U64(GetFileWriteTime(name)), now + 48 * kHour);

  EXPECT_EQ(SetFileWriteTime(dir / L"missing", FT(now), false), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(IsNullFileTime(GetFileWriteTime(dir / L"missing")));
  WIN32_FILE_ATTRIBUTE_DATA data;
  EXPECT_EQ(GetFileAttrData(dir / L"missing", data, true), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttrData(name, data, true), 0u);
  EXPECT_EQ(data.nFileSizeLow, 1u);
}

TEST(FileLinks, PlainFilesHaveNoTargetAndDevicesMapToDrives) {
  hvtest::TempDir dir;
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"plain.txt", "x"));
  std::wstring target = L"unchanged";
  EXPECT_FALSE(GetReparseTarget(dir / L"plain.txt", target));
  EXPECT_FALSE(GetReparseTarget(dir / L"missing.txt", target));
  EXPECT_FALSE(GetReparseTarget(dir.Path(), target));

  wchar_t device[MAX_PATH];
  ASSERT_TRUE(QueryDosDeviceW(L"C:", device, MAX_PATH));
  EXPECT_EQ(DeviceToDrivePath(std::wstring(device) + L"\\windows\\x.txt"), L"C:\\windows\\x.txt");
  EXPECT_EQ(DeviceToDrivePath(L"\\Device\\Mup\\server\\share\\x"), L"\\\\server\\share\\x");
  EXPECT_EQ(DeviceToDrivePath(L"\\Device\\NoSuchVolume77\\x"), L"");
  EXPECT_EQ(DeviceToDrivePath(std::wstring(device) + L"9\\x"), L"") << "a longer device name is another device";
}

TEST(CopyFileTimeAttr, CopiesContentTimeAndAttributes) {
  hvtest::TempDir dir;
  const uint32_t buffer = 4096;
  const std::wstring src = dir / L"src.bin", dst = dir / L"dst.bin";
  const uint64_t past = NowUtc() - 500 * kHour;
  for (size_t size : {size_t(0), size_t(1), size_t(buffer - 1), size_t(buffer), size_t(2 * buffer + 3)}) {
    ASSERT_TRUE(hvtest::WriteBytes(src, Pattern(size)));
    ASSERT_TRUE(SetWriteTime(src, past));
    CopyFileTimeAttr(src, dst, -1, buffer);
    EXPECT_EQ(hvtest::ReadBytes(dst), Pattern(size)) << size;
    EXPECT_EQ(U64(GetFileWriteTime(dst)), past) << size;
  }
  EXPECT_EQ(CountFiles(dir.Path()), 2) << "no temporary file stays";

  // Onto a read-only destination: replaced, ending with the source's attributes.
  SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  SetFileAttributesW(dst.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"other", "new"));
  SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(hvtest::WriteBytes(src, "new content"));
  SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  CopyFileTimeAttr(src, dst, -1, buffer);
  EXPECT_EQ(hvtest::ReadBytes(dst), "new content");
  EXPECT_EQ(GetFileAttributesW(dst.c_str()), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  // Given attributes win.
  CopyFileTimeAttr(src, dst, FILE_ATTRIBUTE_READONLY, buffer);
  EXPECT_EQ(GetFileAttributesW(dst.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesW(dst.c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_NORMAL);

  // The same file under another case: nothing happens.
  std::wstring upper = src;
  CharUpperW(upper.data() + dir.Path().size());
  CopyFileTimeAttr(src, upper, -1, buffer);
  EXPECT_EQ(hvtest::ReadBytes(src), "new content");
}

TEST(CopyFileTimeAttr, FutureTimesAreReplaced) {
  hvtest::TempDir dir;
  const std::wstring src = dir / L"src.txt", dst = dir / L"dst.txt";
  ASSERT_TRUE(hvtest::WriteBytes(src, "x"));
  const uint64_t now = NowUtc();
  ASSERT_TRUE(SetWriteTime(src, now + 12 * kHour));
  CopyFileTimeAttr(src, dst, -1, 16);
  EXPECT_EQ(U64(GetFileWriteTime(dst)), now + 12 * kHour);
  ASSERT_TRUE(SetWriteTime(src, now + 48 * kHour));
  CopyFileTimeAttr(src, dst, -1, 16);
  const uint64_t t = U64(GetFileWriteTime(dst));
  EXPECT_TRUE(t >= now - kHour / 60 && t < now + kHour / 60);
}

TEST(CopyFileTimeAttr, ErrorsCarryTextAndCode) {
  hvtest::TempDir dir;
  const std::wstring src = dir / L"src.txt";
  ASSERT_TRUE(hvtest::WriteBytes(src, "data"));
  HANDLE locked = INVALID_HANDLE_VALUE;
  struct Case {
    std::wstring source, dest;
    std::function<void()> setup;
    std::wstring text;
    uint32_t code;
  } cases[] = {
      {dir / L"missing.txt", dir / L"d.txt", {}, L"File not found: \"" + (dir / L"missing.txt") + L"\"", 2},
      {src, L"", {}, L"File not found: \"" + src + L"\"", 2},
      {src, dir / L"no-folder\\d.txt", {}, L"Error creating \"" + (dir / L"no-folder\\d.txt") + L"\"",
       ERROR_PATH_NOT_FOUND},
      {src, dir / L"d.txt",
       [&] { locked = CreateFileW(src.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); },
       L"Error opening \"" + src + L"\"", ERROR_SHARING_VIOLATION},
  };
  for (auto& c : cases) {
    if (c.setup) c.setup();
    try {
      CopyFileTimeAttr(c.source, c.dest, -1, 4096);
      ADD_FAILURE() << "no exception: " << c.text.c_str();
    } catch (const ECopyError& e) {
      EXPECT_EQ(e.Message(), c.text);
      EXPECT_EQ(e.ErrorCode(), c.code) << e.what();
    }
  }
  CloseHandle(locked);
  EXPECT_EQ(CountFiles(dir.Path()), 1) << "nothing was created";
}

TEST(CopyFileTimeAttr, AFailedCopyLeavesTheDestinationAsItWas) {
  hvtest::TempDir dir;
  const std::wstring src = dir / L"src.bin", dst = dir / L"dst.bin";
  ASSERT_TRUE(hvtest::WriteBytes(src, Pattern(20000)));
  ASSERT_TRUE(hvtest::WriteBytes(dst, "old"));
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(SetFileAttributesW(dst.c_str(), kept));
  // The destination is held open by someone else: the new copy cannot take its place.
  HANDLE holder = CreateFileW(dst.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  try {
    CopyFileTimeAttr(src, dst, -1, 4096);
    ADD_FAILURE() << "no exception";
  } catch (const ECopyError& e) {
    EXPECT_EQ(e.Message(), L"Error creating \"" + dst + L"\"") << e.what();
    EXPECT_NE(e.ErrorCode(), 0u);
  }
  CloseHandle(holder);
  EXPECT_EQ(hvtest::ReadBytes(dst), "old");
  EXPECT_EQ(GetFileAttributesW(dst.c_str()) & kept, kept) << "the attributes are kept too";
  EXPECT_EQ(CountFiles(dir.Path()), 2) << "the temporary copy is removed";
  SetFileAttributesW(dst.c_str(), FILE_ATTRIBUTE_NORMAL);

  // A source that fails on reading (a host file that gives an I/O error under Wine).
  const std::wstring failing = L"Z:\\proc\\self\\mem";
  if (GetFileAttributesW(failing.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no failing source here";
  for (bool existing : {true, false}) {
    if (!existing) DeleteFileW(dst.c_str());
    try {
      CopyFileTimeAttr(failing, dst, 0, 4096);
      ADD_FAILURE() << "no exception";
    } catch (const ECopyError& e) {
      EXPECT_EQ(e.Message(), L"Error reading from \"" + failing + L"\"") << e.what();
      EXPECT_NE(e.ErrorCode(), 0u);
    }
    if (existing)
      EXPECT_EQ(hvtest::ReadBytes(dst), "old");
    else
      EXPECT_EQ(GetFileAttributesW(dst.c_str()), INVALID_FILE_ATTRIBUTES) << "no truncated copy under the name";
    EXPECT_EQ(CountFiles(dir.Path()), existing ? 2 : 1) << "the temporary copy is removed";
  }
}

TEST(IsDirEmpty, EntriesOtherThanDotsCount) {
  hvtest::TempDir dir;
  EXPECT_TRUE(IsDirEmpty(dir.Path()));
  EXPECT_TRUE(IsDirEmpty(dir / L"missing")) << "a missing folder counts as empty";
  CreateDirectoryW((dir / L"sub").c_str(), nullptr);
  EXPECT_FALSE(IsDirEmpty(dir.Path())) << "an empty subfolder is an entry";
  EXPECT_TRUE(IsDirEmpty(dir / L"sub"));
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"sub\\f", ""));
  EXPECT_FALSE(IsDirEmpty(dir / L"sub\\"));
}
