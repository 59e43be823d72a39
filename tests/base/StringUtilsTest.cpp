#include "base/text/StringUtils.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace hv;

TEST(MatchOption, PrefixOfKeywordAfterLowerCasingTheTypedSide) {
  struct Case { const wchar_t* name; const wchar_t* keyword; bool match; } cases[] = {
      {L"F", L"force", true},     {L"forc", L"force", true}, {L"forced", L"force", false},
      {L"", L"force", true},      {L"force", L"Force", false}, {L"FORCE", L"force", true},
      {L"fx", L"force", false},   {L"\u00C4", L"\u00E4x", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchOption(c.name, c.keyword), c.match) << c.name << " / " << c.keyword;
}

TEST(MatchOption, ValueOptionKeepsOnlyTheValue) {
  std::wstring arg = L"ini:C:\\a.ini";
  EXPECT_TRUE(MatchOptionValue(arg, L"ini"));
  EXPECT_EQ(arg, L"C:\\a.ini");

  arg = L"i:x";
  EXPECT_TRUE(MatchOptionValue(arg, L"ini"));
  EXPECT_EQ(arg, L"x");

  arg = L"LANG:";
  EXPECT_TRUE(MatchOptionValue(arg, L"lang"));
  EXPECT_EQ(arg, L"");

  arg = L":v";  // empty name matches any keyword
  EXPECT_TRUE(MatchOptionValue(arg, L"end"));
  EXPECT_EQ(arg, L"v");

  for (const wchar_t* unchanged : {L"ini", L"lang:de", L"inix:y"}) {
    arg = unchanged;
    EXPECT_FALSE(MatchOptionValue(arg, L"ini")) << unchanged;
    EXPECT_EQ(arg, unchanged);
  }
}

TEST(ItemReaders, ReadNextItemTakesTheFrontItem) {
  struct Case { const wchar_t* in; const wchar_t* item; const wchar_t* rest; } cases[] = {
      {L"a,b", L"a", L"b"}, {L",b", L"", L"b"}, {L"a", L"a", L""}, {L"", L"", L""}, {L" a ,b", L" a ", L"b"},
  };
  for (const auto& c : cases) {
    std::wstring s = c.in;
    EXPECT_EQ(GetFirstItem(s, L','), c.item);
    EXPECT_EQ(ReadNextItem(s, L','), c.item) << c.in;
    EXPECT_EQ(s, c.rest) << c.in;
  }
}

TEST(ItemReaders, ReadNextQuotedItem) {
  struct Case { const wchar_t* in; const wchar_t* item; const wchar_t* rest; } cases[] = {
      {L"\"a,b\",c", L"a,b", L"c"},
      {L"\"a\"\"b\"", L"a\"b", L""},
      {L"\"\",x", L"", L"x"},
      {L"  x ,y", L"x ", L"y"},
      {L"\"a b\" x,y", L"a b", L"y"},       // text after the closing quote is dropped
      {L"\"open,end", L"\"open,end", L""},  // no closing quote: unchanged
      {L"\"a\"  ,z", L"a", L"z"},
      {L"\t\r\n", L"", L""},
  };
  for (const auto& c : cases) {
    std::wstring s = c.in;
    EXPECT_EQ(ReadNextQuotedItem(s, L',', L'"'), c.item) << c.in;
    EXPECT_EQ(s, c.rest) << c.in;
  }
}

TEST(TryStrToInt64, TableOfTexts) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int64_t value;
  } cases[] = {
      {L" 42", true, 42},
      {L"-9223372036854775808", true, INT64_MIN},
      {L"9223372036854775808", false, 0},
      {L"$7FFFFFFFFFFFFFFF", true, INT64_MAX},
      {L"0xFFFFFFFFFFFFFFFF", true, -1},
      {L"$0000000000000000001", true, 1},  // leading zeros are no overflow
      {L"$10000000000000000", false, 0},   // 65 bits
      {L"x123456789ABCDEF01", false, 0},
      {L"$", false, 0},
      {L"12a", false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = 7;
    EXPECT_EQ(TryStrToInt64(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(ItemReaders, ReadNextInt) {
  bool error = false;
  std::wstring s = L"12 34";
  EXPECT_EQ(ReadNextInt(s, L' ', -1, error), 12);
  EXPECT_EQ(s, L"34");
  EXPECT_FALSE(error);

  s = L"x 5";
  EXPECT_EQ(ReadNextInt(s, L' ', -1, error), -1);
  EXPECT_TRUE(error);
  EXPECT_EQ(s, L"5");
  EXPECT_EQ(ReadNextInt(s, L' ', -1, error), 5);
  EXPECT_TRUE(error) << "the error flag is never reset";

  error = false;
  s = L"   ";
  EXPECT_EQ(ReadNextInt(s, L' ', 7, error), 7);
  EXPECT_FALSE(error);

  s = L" $1F;0x10,-9;x";
  TSepSet seps = MakeSepSet(L";,");
  EXPECT_EQ(ReadNextInt(s, seps, 0, error), 31);
  EXPECT_EQ(ReadNextInt(s, seps, 0, error), 16);
  EXPECT_EQ(ReadNextInt(s, seps, 0, error), -9);
  EXPECT_FALSE(error);
  EXPECT_EQ(ReadNextInt(s, seps, 0, error), 0);
  EXPECT_TRUE(error);

  // a character above 255 whose low byte is a separator ends the item too
  s = L"4\u012C5";
  EXPECT_EQ(ReadNextInt(s, L',', 0), 4);
  EXPECT_EQ(s, L"5");

  s = L"99999999999999999999,1";  // overflow is not a number
  error = false;
  EXPECT_EQ(ReadNextInt(s, L',', 3, error), 3);
  EXPECT_TRUE(error);
}

TEST(ItemReaders, ExtractDelimitedFindsPlaceholders) {
  std::wstring s = L"C:\\%date%\\x%user%y%";
  size_t start = 0;
  EXPECT_EQ(ExtractDelimited(s, L'%', start), L"%date%");
  EXPECT_EQ(start, 9u);
  EXPECT_EQ(ExtractDelimited(s, L'%', start), L"%user%");
  size_t before = start;
  EXPECT_EQ(ExtractDelimited(s, L'%', start), L"");
  EXPECT_EQ(start, before);
}

TEST(ItemReaders, ItemsToLines) {
  int count = -1;
  EXPECT_EQ(ItemsToLines(L"a,\"b,c\",d", L',', L'"', count), L"a\r\nb,c\r\nd");
  EXPECT_EQ(count, 3);
  EXPECT_EQ(ItemsToLines(L",x", L',', L'"', count), L"\r\nx");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(ItemsToLines(L"", L',', L'"', count), L"");
  EXPECT_EQ(count, 0);
}

TEST(Quoting, QuoteIfNeeded) {
  EXPECT_EQ(QuoteIfNeeded(L"a b", L" "), L"\"a b\"");
  EXPECT_EQ(QuoteIfNeeded(L"ab", L" "), L"ab");
  EXPECT_EQ(QuoteIfNeeded(L"ab", L""), L"\"ab\"");
  EXPECT_EQ(QuoteIfNeeded(L"", L""), L"");
  EXPECT_EQ(QuoteIfNeeded(L"say \"hi\"", L" "), L"\"say \"\"hi\"\"\"");
}

TEST(SimpleEdits, Table) {
  EXPECT_EQ(RepeatChar(L'x', 0), L"");
  EXPECT_EQ(RepeatChar(L'x', 256), L"");
  EXPECT_EQ(RepeatChar(L'x', 3), L"xxx");
  EXPECT_EQ(RemoveChars(L"a-b_c-", L"-_"), L"abc");
  EXPECT_EQ(RemoveChars(L"abc", L""), L"abc");
  EXPECT_EQ(RemoveSpaces(L" a\tb c "), L"a\tbc");
  EXPECT_EQ(ReplaceChar(L"a/b/c", L'/', L'\\'), L"a\\b\\c");
  EXPECT_EQ(TrimLeftChar(L"00120", L'0'), L"120");
  EXPECT_EQ(TrimRightChar(L"\\a\\\\", L'\\'), L"\\a");
  EXPECT_EQ(TrimLeftChar(L" 0", L'0'), L" 0");
  EXPECT_EQ(TrimRightChar(L"000", L'0'), L"");
  EXPECT_EQ(ChangeCase(L"MiXed \u00C4", TTextChange::tcLower), L"mixed \u00E4");
  EXPECT_EQ(ChangeCase(L"MiXed \u00E4", TTextChange::tcUpper), L"MIXED \u00C4");
  EXPECT_EQ(ChangeCase(L"MiXed", TTextChange::tcNone), L"MiXed");
  EXPECT_TRUE(IsEmptyStr(L""));
  EXPECT_FALSE(IsEmptyStr(L" "));
}

TEST(TextPos, CaseInsensitiveWithOffset) {
  EXPECT_EQ(TextPos(L"BC", L"abcabc"), 1u);
  EXPECT_EQ(TextPosEx(L"bc", L"ABCABC", 2), 4u);
  EXPECT_EQ(TextPos(L"x", L"abc"), std::wstring::npos);
  EXPECT_EQ(TextPosEx(L"a", L"abc", 3), std::wstring::npos);
  EXPECT_EQ(TextPos(L"\u00E4", L"x\u00C4"), 1u);
}

TEST(Utf8, RoundTripsAllPlanes) {
  std::wstring w = L"a\u00E4\u20AC\U0001F600";
  EXPECT_EQ(WideToUtf8(w), "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
  EXPECT_EQ(Utf8ToWide(""), L"");
}
