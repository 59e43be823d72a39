#pragma once
// Small text helpers: lists, quoting, case and the suite's command-line option syntax.
// Positions count from 0; std::wstring::npos means "absent". No function raises.
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Unicode.h"

namespace hv {

enum class TTextChange : uint8_t { tcNone, tcLower, tcUpper };

// A set of single-byte separator characters (codes 0 to 255).
using TSepSet = std::bitset<256>;
TSepSet MakeSepSet(std::wstring_view chars);

// Utf8ToWide, WideToUtf8, AnsiToWide, WideToAnsi: see winui/Unicode.h.

// Locale (user default) case mapping of a whole string.
std::wstring AnsiUpperCase(std::wstring_view s);
std::wstring AnsiLowerCase(std::wstring_view s);

// Case-insensitive search of subStr in s from offset; npos when absent.
size_t TextPos(std::wstring_view subStr, std::wstring_view s);
size_t TextPosEx(std::wstring_view subStr, std::wstring_view s, size_t offset);

std::wstring RemoveChars(std::wstring_view s, std::wstring_view chars);
std::wstring ChangeCase(std::wstring_view s, TTextChange change);
std::wstring RemoveSpaces(std::wstring_view s);
// count is taken as a byte: 256 gives an empty string.
std::wstring RepeatChar(wchar_t c, int count);
bool IsEmptyStr(std::wstring_view s);
std::wstring ReplaceChar(std::wstring_view s, wchar_t oldChar, wchar_t newChar);
std::wstring TrimLeftChar(std::wstring_view s, wchar_t c);
std::wstring TrimRightChar(std::wstring_view s, wchar_t c);

// Item readers: take the next item of a list from the front of s.
std::wstring ReadNextItem(std::wstring& s, wchar_t sep);
std::wstring GetFirstItem(std::wstring_view s, wchar_t sep);
int64_t ReadNextInt(std::wstring& s, const TSepSet& seps, int64_t defaultValue, bool& error);
int64_t ReadNextInt(std::wstring& s, wchar_t sep, int64_t defaultValue, bool& error);
int64_t ReadNextInt(std::wstring& s, wchar_t sep, int64_t defaultValue);
std::wstring ReadNextQuotedItem(std::wstring& s, wchar_t sep, wchar_t quote);
// Text from the first delim at or after start to the next delim, both included; start moves past
// it. Empty (start unchanged) when there is no such pair.
std::wstring ExtractDelimited(std::wstring_view s, wchar_t delim, size_t& start);
// The quoted items of s, one per line (CRLF); count receives their number.
std::wstring ItemsToLines(std::wstring s, wchar_t sep, wchar_t quote, int& count);

// Conversion of a whole text to a 64-bit integer: leading blanks, optional sign, decimal digits
// or hexadecimal after "$", "0x" or "x". False for anything else, including overflow.
bool TryStrToInt64(std::wstring_view s, int64_t& value);

// A comma text: items separated by ",", an item in double quotes may hold commas; blanks around
// items and empty items are dropped.
std::vector<std::wstring> CommaTextToList(std::wstring_view s);
// Items joined by ",", each quoted when it holds a comma, a double quote or a blank.
std::wstring ListToCommaText(const std::vector<std::wstring>& items);

// s in double quotes (inner quotes doubled) when chars is empty or s contains one of chars.
std::wstring QuoteIfNeeded(std::wstring_view s, std::wstring_view chars);

// The suite's option syntax: name matches keyword when its lower-cased text is a prefix of keyword.
bool MatchOption(std::wstring_view name, std::wstring_view keyword);
// For "name:value": true when name matches keyword; arg then keeps only the value.
bool MatchOptionValue(std::wstring& arg, std::wstring_view keyword);

// Words a count: oneText for 1, zeroText for 0 (when given), else pattern formatted with count;
// with thousands, a count from 10000 on is written with the locale's thousands separator. Never raises.
std::wstring FormatCountText(std::wstring_view zeroText, std::wstring_view oneText, std::wstring_view pattern,
                             int count, bool thousands);

}  // namespace hv
