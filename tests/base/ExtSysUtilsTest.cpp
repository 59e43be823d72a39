#include "base/text/ExtSysUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

using namespace hv;

namespace {
class FormatTest : public testing::Test {
 protected:
  void SetUp() override {
    saved = FormatSettings();
    FormatSettings() = TFormatSettings{L'.', L','};
  }
  void TearDown() override { FormatSettings() = saved; }
  TFormatSettings saved;
};
}  // namespace

TEST_F(FormatTest, PatternsOfTheCatalogues) {
  EXPECT_EQ(SafeFormat(L"%s copied to %s", L"a.txt", std::wstring(L"D:\\b")), L"a.txt copied to D:\\b");
  EXPECT_EQ(SafeFormat(L"%d files, %u errors", -3, 4u), L"-3 files, 4 errors");
  EXPECT_EQ(SafeFormat(L"(0x%.8x)", 2u), L"(0x00000002)");
  EXPECT_EQ(SafeFormat(L"0x%.8x", 0x80070005u), L"0x80070005");
  EXPECT_EQ(SafeFormat(L"%x", -1), L"FFFFFFFF") << "32-bit values as 32 bits";
  EXPECT_EQ(SafeFormat(L"%x", -1LL), L"FFFFFFFFFFFFFFFF");
  EXPECT_EQ(SafeFormat(L"%u", -1), L"4294967295");
  EXPECT_EQ(SafeFormat(L"%2:s-%0:s-%s", L"a", L"b", L"c"), L"c-a-b") << "an index moves the next argument";
  EXPECT_EQ(SafeFormat(L"%.0n items", 1234567.0), L"1,234,567 items");
  EXPECT_EQ(SafeFormat(L"%n", 1234.5), L"1,234.50");
  EXPECT_EQ(SafeFormat(L"%.1f%%", 99.95), L"100.0%");
  EXPECT_EQ(SafeFormat(L"[%5s|%-5s|%.2s]", L"ab", L"ab", L"abc"), L"[   ab|ab   |ab]");
  EXPECT_EQ(SafeFormat(L"[%*d]", 4, 7), L"[   7]");
  EXPECT_EQ(SafeFormat(L"[%.*s|%-*d]", -1, L"abc", 3, 7), L"[abc|7  ]") << "a negative \"*\" precision means none";
  EXPECT_EQ(SafeFormat(L"%.3d", -7), L"-007");
  EXPECT_EQ(SafeFormat(L"%e", 1500.0), L"1.50000000000000E+003");
  EXPECT_EQ(SafeFormat(L"%g", 1.5), L"1.5");
  EXPECT_EQ(SafeFormat(L"%s", L'c'), L"c");
  EXPECT_EQ(SafeFormat(L"100%% sure"), L"100% sure");
  EXPECT_EQ(SafeFormat(L"%d", 9223372036854775807LL), L"9223372036854775807");
  EXPECT_EQ(SafeFormat(L"%d", 18446744073709551615ULL), L"18446744073709551615");
}

TEST_F(FormatTest, LocaleSeparatorsComeFromTheSettings) {
  FormatSettings() = TFormatSettings{L',', L'.'};
  EXPECT_EQ(SafeFormat(L"%n", 1234.5), L"1.234,50");
  EXPECT_EQ(SafeFormat(L"%.2f", 0.5), L"0,50");
}

TEST_F(FormatTest, MoneyFollowsTheCurrencySettings) {
  EXPECT_EQ(SafeFormat(L"%m|%m|%.0m", 1234.5, -5.0, 2.0), L"$1,234.50|($5.00)|$2");
  FormatSettings() = TFormatSettings{L',', L'.', L"\u20AC", 3, 8, 2};
  EXPECT_EQ(SafeFormat(L"%m|%m", 1234.5, -1234.5), L"1.234,50 \u20AC|-1.234,50 \u20AC");
}

TEST_F(FormatTest, FailuresGiveTheFallbackText) {
  struct Case { const wchar_t* pattern; std::wstring result; } cases[] = {
      {L"%d", SafeFormat(L"%d", L"text")},
      {L"%s %s", SafeFormat(L"%s %s", L"one")},
      {L"%f", SafeFormat(L"%f", 1)},
      {L"%q", SafeFormat(L"%q", 1)},
      {L"50%", SafeFormat(L"50%")},
      {L"%3:s", SafeFormat(L"%3:s", L"a")},
      {L"%s", SafeFormat(L"%s", 5)},
      {L"[%*d]", SafeFormat(L"[%*d]", 100000000, 7)},  // huge widths are refused, not allocated
      {L"%.*d", SafeFormat(L"%.*d", 200000000, 1)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, std::wstring(L"Format error: ") + c.pattern);
  EXPECT_EQ(SafeFormat(L"plain text"), L"plain text");
  EXPECT_THROW(Format(L"%d", L"x"), EConvertError);
}

TEST(SystemErrorText, ShapeOnWindowsSix) {
  const std::wregex known(LR"(\S.*[^ .] \(0x00000002\))");
  std::wstring t = SystemErrorTextForVersion(ERROR_FILE_NOT_FOUND, 10);
  EXPECT_TRUE(std::regex_match(t, known)) << testing::PrintToString(t);
  EXPECT_EQ(t, SystemErrorText(2));
  EXPECT_EQ(SystemErrorTextForVersion(0x20000005, 10), L"Error code = 0x20000005");
  // Hexadecimal letters in upper case, as the suite's formatter writes %x.
  EXPECT_EQ(SystemErrorTextForVersion(0x2000ABCD, 10), L"Error code = 0x2000ABCD");
  EXPECT_EQ(SystemErrorTextForVersion(0x2000ABCD, 10), L"Error code = " + SafeFormat(L"0x%.8x", 0x2000ABCDu));
  EXPECT_TRUE(SystemErrorTextForVersion(E_OUTOFMEMORY, 10).ends_with(L" (0x8007000E)"));
}

TEST(SystemErrorText, FacilitiesBeforeWindowsSix) {
  EXPECT_EQ(SystemErrorTextForVersion(0x80030002, 5), L"Storage error (0x80030002)");
  EXPECT_EQ(SystemErrorTextForVersion(0x80010001, 5), L"Remote procedure call error (0x80010001)");
  EXPECT_EQ(SystemErrorTextForVersion(0x80800001, 5), L"Error in SHFileOperation (0x80800001)");
  EXPECT_EQ(SystemErrorTextForVersion(0x80810001, 5), L"ShellExecute error (0x80810001)");
  EXPECT_EQ(SystemErrorTextForVersion(0x80090001, 5), L"Unknown system error code (0x80090001)");
  EXPECT_EQ(SystemErrorTextForVersion(0x800900AB, 5), L"Unknown system error code (0x800900AB)");
  // facility 7: the text of the low word, then the whole code
  std::wstring access = SystemErrorTextForVersion(ERROR_ACCESS_DENIED, 10);
  std::wstring t = SystemErrorTextForVersion(0x80070005, 5);
  EXPECT_EQ(t, access.substr(0, access.rfind(L" (")) + L" (0x80070005)");
}

TEST(OSError, CarriesCallCodeAndContext) {
  EOSError e(L"CreateFileW", ERROR_ACCESS_DENIED, L"C:\\x.ini");
  EXPECT_EQ(e.ErrorCode(), 5u);
  EXPECT_EQ(e.Call(), L"CreateFileW");
  EXPECT_EQ(e.Message().rfind(L"CreateFileW (C:\\x.ini): ", 0), 0u);
  EXPECT_NE(e.Message().find(L"(0x00000005)"), std::wstring::npos);
  EXPECT_GT(std::string(e.what()).size(), 10u);
}
