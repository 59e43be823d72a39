#include "hvwatchdog/copy/FileErrors.h"

#include <gtest/gtest.h>

namespace {

using hv::FormatCopyError;

TEST(FormatCopyError, PrefixMessageAndOperation) {
  struct TCase {
    int32_t code;
    const wchar_t* text;
  };
  const TCase cases[] = {
      {0x1080, L"Terminated by user (-> Copy)"},
      {0x4105, L"Error - Could not write to file (-> Zip)"},
      {0x2004, L"Could not read from file (-> gzip)"},
      {0x2107, L"Error - Low disk space (-> gzip)"},
      // 39 has no text of its own.
      {0x0227, L"Warning - Unknown error code ($00000227)"},
      {0x0225, L"Warning - Error copying alternate data streams"},
      {0x0323, L"Error(2) - Could not rename temporary file"},
      {0x1127, L"Error - Unknown error code ($00001127) (-> Copy)"},
      {0x7129, L"Error - Unknown error code ($00007129) (-> Unzip)"},
      {0x8428, L"Invalid zip format"},
      {0x610E, L"Error - File not found (-> Decrypt)"},
      {0x0080, L"Terminated by user"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCopyError(c.code, L"", L"ignored without name"), c.text) << c.code;
}

TEST(FormatCopyError, FileNameAndInfo) {
  EXPECT_EQ(FormatCopyError(0x0101, L"a.txt", L""), L"Error - Could not create file: \"a.txt\"");
  EXPECT_EQ(FormatCopyError(0x1101, L"a.txt", L""), L"Error - Could not create file: \"a.txt\" (-> Copy)");
  EXPECT_EQ(FormatCopyError(0x0101, L"a.txt", L"disk"), L"Error - Could not create file: \"a.txt\" (disk)");
  EXPECT_EQ(FormatCopyError(0x4101, L"50%.txt", L"%s"), L"Error - Could not create file: \"50%.txt\" (%s) (-> Zip)");
}

TEST(FormatCopyError, ZeroIsTheSystemsTextForSuccess) {
  std::wstring t = FormatCopyError(0x1000, L"", L"");
  EXPECT_FALSE(t.empty());
  EXPECT_TRUE(t.ends_with(L" (-> Copy)"));
  EXPECT_EQ(t.find(L"Error - "), std::wstring::npos);
}

}  // namespace
