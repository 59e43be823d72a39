#include "hvwatchdog/copy/FilePropUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "hvwatchdog/copy/CopySysUtils.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

TEST(FilePropUtils, LongPathPrefixes) {
  const std::wstring longTail(250, L'x');
  EXPECT_EQ(LongPathXL(L"C:\\a.txt"), L"C:\\a.txt");
  EXPECT_EQ(LongPathXL(L"D:\\" + longTail), L"\\\\?\\D:\\" + longTail);
  EXPECT_EQ(LongPathXL(L"\\\\srv\\share\\" + longTail), L"\\\\?\\UNC\\srv\\share\\" + longTail);
  EXPECT_EQ(LongPathXL(L"\\\\?\\D:\\" + longTail), L"\\\\?\\D:\\" + longTail);
  EXPECT_EQ(LongPathXL(std::wstring(300, L'r')), std::wstring(300, L'r'));
}

TEST(FilePropUtils, NameHelpers) {
  EXPECT_EQ(InsertNameSuffix(L"D:\\b\\report.docx", L".bak-2"), L"D:\\b\\report.bak-2.docx");
  EXPECT_EQ(InsertNameSuffix(L"D:\\b\\README", L".bak-2"), L"D:\\b\\README.bak-2");
  EXPECT_EQ(ChangeExtWithSuffix(L"a.txt", L"-1", L"gz"), L"a-1.gz");
  EXPECT_EQ(PathWithoutDrive(L"C:\\data\\x.txt"), L"data\\x.txt");
  EXPECT_EQ(PathWithoutDrive(L"\\\\srv\\share\\x"), L"x");
  EXPECT_EQ(PathWithoutDrive(L"C:\\"), L"");
  EXPECT_EQ(PathWithoutDrive(L"data\\x.txt"), L"data\\x.txt");
  EXPECT_EQ(SlashToBackslash(L"a/b/c"), L"a\\b\\c");
}

TEST(FilePropUtils, TimeConversions) {
  EXPECT_EQ(DateTimeToUnixSeconds(25569.0), 0);
  EXPECT_EQ(DateTimeToUnixSeconds(25570.5), 129600);
  EXPECT_EQ(FileTimeToUnixSeconds(116444736000000000ULL + 10000000ULL * 1700000000), 1700000000);
  EXPECT_EQ(FileTimeToDosTime(1), -1);  // before 1980
}

TEST(FilePropUtils, AttributesAndFileData) {
  TempDir dir;
  const std::wstring f = dir / L"a b.txt";
  EXPECT_EQ(ChangeFileAttr(f, FILE_ATTRIBUTE_READONLY, false, false), 2u);
  ASSERT_TRUE(WriteBytes(f, "12345"));
  EXPECT_EQ(ChangeFileAttrXL(f, FILE_ATTRIBUTE_READONLY, false, false), 0u);
  EXPECT_TRUE(FileGetAttrXL(f, true) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ChangeFileAttrXL(f, FILE_ATTRIBUTE_READONLY, false, false), 0u);
  TFileData d;
  ASSERT_TRUE(GetFileData(f, d));
  EXPECT_EQ(d.FileName, L"a b.txt");
  EXPECT_EQ(d.FileSize, 5);
  EXPECT_TRUE(d.TimeStamps.Valid);
  EXPECT_TRUE(d.FileAttr & FILE_ATTRIBUTE_READONLY);
  EXPECT_NE(DeleteFileXL(f, false), 0u);
  EXPECT_EQ(DeleteExistingFileXL(f, true), 0u);
  EXPECT_FALSE(GetFileData(f, d));
  EXPECT_EQ(DeleteExistingFileXL(f, true), 0u);
  EXPECT_TRUE(ForceDirectoriesXL(dir / L"x\\y\\z"));
  EXPECT_TRUE(IsDirectory(dir / L"x\\y\\z"));
}

TEST(FilePropUtils, FutureTimesWithCheckTime) {
  TempDir dir;
  const std::wstring f = dir / L"t";
  ASSERT_TRUE(WriteBytes(f, "x"));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const TFileTime base = (static_cast<TFileTime>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const TFileTime hour = 36000000000ULL;
  for (auto [ahead, kept] : {std::pair{48 * hour, false}, std::pair{20 * hour, true}}) {
    TFileTimestamps t;
    t.Valid = true;
    t.CreationTime = t.LastAccessTime = t.LastWriteTime = base + ahead;
    ASSERT_EQ(SetFileTimestamps(f, t, true, false, false), 0u);
    TFileData d;
    ASSERT_TRUE(GetFileData(f, d));
    if (kept)
      EXPECT_EQ(d.TimeStamps.LastWriteTime, base + ahead);
    else
      EXPECT_LT(d.TimeStamps.LastWriteTime, base + hour);
  }
  TFileTimestamps missing;
  EXPECT_NE(SetFileTimestamps(dir / L"none", missing, true, true, false), 0u);
}

TEST(FilePropUtils, CopyFileContents) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", std::string(100001, 'q')));
  EXPECT_EQ(CopyFileContents(dir / L"s", dir / L"S", 4096), 0u);
  EXPECT_EQ(ReadBytes(dir / L"s"), std::string(100001, 'q'));
  EXPECT_EQ(CopyFileContents(dir / L"s", dir / L"d", 4096), 0u);
  EXPECT_EQ(ReadBytes(dir / L"d"), std::string(100001, 'q'));
  EXPECT_EQ(CopyFileContents(dir / L"none", dir / L"d2", 4096), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(FilePropUtils, AlternateStreamsSkipTheMainStreamByName) {
  // The system lists the main stream anywhere, not necessarily first.
  std::vector<std::pair<std::wstring, std::wstring>> copied;
  auto lister = [](std::wstring_view, std::vector<std::wstring>& names) {
    names = {L":Zone.Identifier:$DATA", L"::$DATA", L":summary:$DATA"};
    return 0u;
  };
  auto copier = [&](std::wstring_view s, std::wstring_view d) {
    copied.emplace_back(s, d);
    return 0u;
  };
  EXPECT_EQ(CopyAlternateStreams(L"C:\\a", L"D:\\b", lister, copier), 0u);
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[0].first, L"C:\\a:Zone.Identifier");
  EXPECT_EQ(copied[0].second, L"D:\\b:Zone.Identifier");
  EXPECT_EQ(copied[1].second, L"D:\\b:summary");

  auto failing = [](std::wstring_view, std::wstring_view) { return 5u; };
  EXPECT_EQ(CopyAlternateStreams(L"C:\\a", L"D:\\b", lister, failing), 5u);
  auto unsupported = [](std::wstring_view, std::vector<std::wstring>&) { return 120u; };
  EXPECT_EQ(CopyAlternateStreams(L"C:\\a", L"D:\\b", unsupported, copier), 120u);
}

TEST(FilePropUtils, StreamEnumerationOnThisSystem) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"f", "x"));
  std::vector<std::wstring> names;
  const uint32_t rc = ListDataStreams(dir / L"f", names);
  // Windows lists the main stream; Wine may lack the functions (120) or list nothing.
  if (rc == 0 && !names.empty()) {
    EXPECT_EQ(names[0], L"::$DATA");
  } else {
    EXPECT_TRUE(rc == 0 || rc == ERROR_CALL_NOT_IMPLEMENTED || rc == ERROR_INVALID_FUNCTION) << rc;
  }
  EXPECT_FALSE(GetTempFolder().empty());
  EXPECT_EQ(GetTempFolder().back(), L'\\');
}

TEST(FilePropUtils, Utf8BomFile) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"log.txt", "old contents"));
  EXPECT_EQ(CreateUtf8BomFile(dir / L"log.txt"), 0u);
  EXPECT_EQ(ReadBytes(dir / L"log.txt"), "\xEF\xBB\xBF");
  EXPECT_NE(CreateUtf8BomFile(dir / L"no\\such\\log.txt"), 0u);
}

}  // namespace
