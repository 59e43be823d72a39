#include "base/text/NumberUtils.h"

#include <gtest/gtest.h>

#include "base/text/ExtSysUtils.h"

using namespace hv;

namespace {
// Size texts depend on the locale's decimal separator; the tests pin it to ".".
class SizeToStrTest : public testing::Test {
 protected:
  void SetUp() override {
    saved = FormatSettings();
    FormatSettings().DecimalSeparator = L'.';
  }
  void TearDown() override { FormatSettings() = saved; }
  TFormatSettings saved;
};
}  // namespace

TEST_F(SizeToStrTest, Table) {
  const int64_t KiB = 1024, GiB = KiB * KiB * KiB;
  struct Case { int64_t size; bool decimal; bool trim; const wchar_t* text; } cases[] = {
      {0, false, false, L"0 B"},
      {1023, false, false, L"1023 B"},
      {1024, false, false, L"1.00 KiB"},
      {1024, false, true, L"1 KiB"},
      {1536, false, true, L"1.50 KiB"},
      {10 * KiB, false, false, L"10.0 KiB"},
      {10 * KiB, false, true, L"10 KiB"},
      {100 * KiB, false, false, L"100 KiB"},
      {KiB * KiB, false, false, L"1.00 MiB"},
      {GiB * 3 / 2, false, true, L"1.50 GiB"},
      {GiB * 2048, false, false, L"2048.00 GiB"},  // no unit above GiB
      {999, true, false, L"999 B"},
      {1000, true, false, L"1.00 kB"},
      {1500000, true, false, L"1.50 MB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeToStr(c.size, c.decimal, c.trim), c.text) << c.size;
}

TEST_F(SizeToStrTest, DecimalSeparatorOverridesTheLocale) {
  FormatSettings().DecimalSeparator = L'#';
  EXPECT_EQ(SizeToStr(1536, false, false, L','), L"1,50 KiB");
  EXPECT_EQ(SizeToStr(1536), L"1#50 KiB");
  EXPECT_EQ(FormatSettings().DecimalSeparator, L'#') << "the process-wide settings stay untouched";
}

TEST(IntTexts, GroupedAndPadded) {
  EXPECT_EQ(IntToHexGrouped(0xABCD, 8, 4), L"0000 ABCD");
  EXPECT_EQ(IntToHexGrouped(0xFFFFFFFFu, 0, 0), L"FFFFFFFF");
  EXPECT_EQ(IntToBinGrouped(5, 8, 4), L"0000 0101");
  EXPECT_EQ(IntToBinGrouped(0, 0, 4), L"0");
  EXPECT_EQ(IntToOctGrouped(8, 4, 0), L"0010");
  EXPECT_EQ(IntToStrGrouped(-1234, 0, 3, false), L"-1 234");
  EXPECT_EQ(IntToStrGrouped(123456, 0, 3, false), L"123 456");
  EXPECT_EQ(IntToStrGrouped(42, 5, 0, false), L"   42");
  EXPECT_EQ(IntToStrGrouped(42, 5, 0, true), L"00042");
  EXPECT_EQ(IntToStrZero(-5, 3), L"-005");
  EXPECT_EQ(IntToStrZero(1234, 2), L"1234");
  EXPECT_EQ(IntToStrZero(INT64_MIN, 0), L"-9223372036854775808");
}

TEST(IntParsers, AcceptedTexts) {
  struct Case { bool (*fn)(std::wstring_view, int64_t&); const wchar_t* text; int64_t value; } cases[] = {
      {TryHexStrToInt, L"-$ff", -255},   {TryHexStrToInt, L"FF FF", 65535}, {TryHexStrToInt, L"$7fffffffffffffff", INT64_MAX},
      {TryHexStrToInt, L"ffffffffffffffff", -1},
      {TryOctStrToInt, L"%", 0},         {TryOctStrToInt, L"-%17", -15},    {TryOctStrToInt, L"7 7", 63},
      {TryBinStrToInt, L"!1010", 10},    {TryBinStrToInt, L"-1 1", -3},
  };
  for (const auto& c : cases) {
    int64_t v = 12345;
    EXPECT_TRUE(c.fn(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(IntParsers, RejectedTextsRaiseWithTheirMessage) {
  struct Case { int64_t (*fn)(std::wstring_view); const wchar_t* text; const wchar_t* message; } cases[] = {
      {HexStrToInt, L"G", L"G is not a valid hex value"},
      {HexStrToInt, L"", L" is not a valid hex value"},
      {HexStrToInt, L"-", L"- is not a valid hex value"},
      {HexStrToInt, L"$12345678901234567", L"$12345678901234567 is not a valid hex value"},
      {OctStrToInt, L"8", L"8 is not a valid octal value"},
      {BinStrToInt, L"102", L"102 is not a valid binary value"},
  };
  for (const auto& c : cases) {
    try {
      c.fn(c.text);
      ADD_FAILURE() << "no exception for " << testing::PrintToString(std::wstring(c.text));
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}
