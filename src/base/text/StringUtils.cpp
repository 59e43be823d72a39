#include "base/text/StringUtils.h"

#include <windows.h>

#include <limits>

#include "base/text/ExtSysUtils.h"

namespace hv {

TSepSet MakeSepSet(std::wstring_view chars) {
  TSepSet set;
  for (wchar_t c : chars) set.set(c & 0xFF);
  return set;
}

namespace {

std::wstring MapCase(std::wstring_view s, DWORD flag) {
  if (s.empty()) return {};
  int n = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flag, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr,
                        nullptr, 0);
  if (n <= 0) return std::wstring(s);
  std::wstring r(static_cast<size_t>(n), L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flag, s.data(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr, 0);
  return r;
}

bool IsBlankOrControl(wchar_t c) { return c <= L' '; }

void TrimLeftBlanks(std::wstring& s) {
  size_t i = 0;
  while (i < s.size() && IsBlankOrControl(s[i])) ++i;
  s.erase(0, i);
}

}  // namespace

std::wstring AnsiUpperCase(std::wstring_view s) { return MapCase(s, LCMAP_UPPERCASE); }
std::wstring AnsiLowerCase(std::wstring_view s) { return MapCase(s, LCMAP_LOWERCASE); }

size_t TextPos(std::wstring_view subStr, std::wstring_view s) { return TextPosEx(subStr, s, 0); }

size_t TextPosEx(std::wstring_view subStr, std::wstring_view s, size_t offset) {
  if (subStr.empty() || offset >= s.size()) return std::wstring::npos;
  return AnsiUpperCase(s).find(AnsiUpperCase(subStr), offset);
}

std::wstring RemoveChars(std::wstring_view s, std::wstring_view chars) {
  std::wstring r(s);
  for (wchar_t c : chars) std::erase(r, c);
  return r;
}

std::wstring ChangeCase(std::wstring_view s, TTextChange change) {
  switch (change) {
    case TTextChange::tcLower: return AnsiLowerCase(s);
    case TTextChange::tcUpper: return AnsiUpperCase(s);
    default: return std::wstring(s);
  }
}

std::wstring RemoveSpaces(std::wstring_view s) { return RemoveChars(s, L" "); }

std::wstring RepeatChar(wchar_t c, int count) { return std::wstring(static_cast<uint8_t>(count), c); }

bool IsEmptyStr(std::wstring_view s) { return s.empty(); }

std::wstring ReplaceChar(std::wstring_view s, wchar_t oldChar, wchar_t newChar) {
  std::wstring r(s);
  for (auto& c : r)
    if (c == oldChar) c = newChar;
  return r;
}

std::wstring TrimLeftChar(std::wstring_view s, wchar_t c) {
  size_t i = s.find_first_not_of(c);
  return i == std::wstring_view::npos ? std::wstring() : std::wstring(s.substr(i));
}

std::wstring TrimRightChar(std::wstring_view s, wchar_t c) {
  size_t i = s.find_last_not_of(c);
  return i == std::wstring_view::npos ? std::wstring() : std::wstring(s.substr(0, i + 1));
}

std::wstring ReadNextItem(std::wstring& s, wchar_t sep) {
  size_t p = s.find(sep);
  std::wstring item;
  if (p == std::wstring::npos) {
    item.swap(s);
  } else {
    item = s.substr(0, p);
    s.erase(0, p + 1);
  }
  return item;
}

std::wstring GetFirstItem(std::wstring_view s, wchar_t sep) { return std::wstring(s.substr(0, s.find(sep))); }

bool TryStrToInt64(std::wstring_view s, int64_t& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == L' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) neg = s[i++] == L'-';
  bool hex = false;
  if (i < s.size() && s[i] == L'$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
    hex = true;
    i += 2;
  } else if (i < s.size() && (s[i] == L'x' || s[i] == L'X')) {
    hex = true;
    ++i;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  if (hex) {
    // Up to 64 bits (16 significant digits may give a negative value); more is an overflow.
    for (; i < s.size(); ++i) {
      wchar_t c = s[i];
      unsigned d;
      if (c >= L'0' && c <= L'9') d = c - L'0';
      else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
      else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
      else return false;
      if (v >> 60) return false;
      v = v * 16 + d;
    }
    value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
  }
  const uint64_t limit = neg ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
  for (; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c < L'0' || c > L'9') return false;
    unsigned d = c - L'0';
    if (v > (limit - d) / 10) return false;
    v = v * 10 + d;
  }
  value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

int64_t ReadNextInt(std::wstring& s, const TSepSet& seps, int64_t defaultValue, bool& error) {
  TrimLeftBlanks(s);
  if (s.empty()) return defaultValue;
  size_t p = 0;
  while (p < s.size() && !seps.test(s[p] & 0xFF)) ++p;
  int64_t v;
  if (!TryStrToInt64(std::wstring_view(s).substr(0, p), v)) {
    v = defaultValue;
    error = true;
  }
  s.erase(0, p < s.size() ? p + 1 : p);
  return v;
}

int64_t ReadNextInt(std::wstring& s, wchar_t sep, int64_t defaultValue, bool& error) {
  TSepSet set;
  set.set(sep & 0xFF);
  return ReadNextInt(s, set, defaultValue, error);
}

int64_t ReadNextInt(std::wstring& s, wchar_t sep, int64_t defaultValue) {
  bool error = false;
  return ReadNextInt(s, sep, defaultValue, error);
}

std::wstring ReadNextQuotedItem(std::wstring& s, wchar_t sep, wchar_t quote) {
  TrimLeftBlanks(s);
  if (s.empty()) return {};
  if (s[0] != quote) return ReadNextItem(s, sep);

  bool inside = true;
  size_t p = 1;
  for (; p < s.size(); ++p) {
    if (s[p] == quote) inside = !inside;
    else if (s[p] == sep && !inside) break;
  }
  std::wstring item = s.substr(0, p);
  s.erase(0, p < s.size() ? p + 1 : p);
  if (item.size() < 3) return {};

  while (!item.empty() && item.back() <= L' ') item.pop_back();
  std::wstring text;
  for (size_t i = 1; i < item.size(); ++i) {
    if (item[i] != quote) {
      text += item[i];
    } else if (i + 1 < item.size() && item[i + 1] == quote) {
      text += quote;
      ++i;
    } else {
      return text;  // closing quote: what follows is dropped
    }
  }
  return item;  // no closing quote
}

std::wstring ExtractDelimited(std::wstring_view s, wchar_t delim, size_t& start) {
  if (start >= s.size()) return {};
  size_t first = s.find(delim, start);
  if (first == std::wstring_view::npos) return {};
  size_t second = s.find(delim, first + 1);
  if (second == std::wstring_view::npos) return {};
  start = second + 1;
  return std::wstring(s.substr(first, second - first + 1));
}

std::wstring ItemsToLines(std::wstring s, wchar_t sep, wchar_t quote, int& count) {
  count = 0;
  std::wstring result = ReadNextQuotedItem(s, sep, quote);
  if (!result.empty()) count = 1;
  while (!s.empty()) {
    result += L"\r\n";
    result += ReadNextQuotedItem(s, sep, quote);
    ++count;
  }
  return result;
}

std::vector<std::wstring> CommaTextToList(std::wstring_view s) {
  std::vector<std::wstring> items;
  std::wstring rest(s);
  while (!rest.empty()) {
    std::wstring item = ReadNextQuotedItem(rest, L',', L'"');
    while (!item.empty() && item.back() == L' ') item.pop_back();
    if (!item.empty()) items.push_back(std::move(item));
  }
  return items;
}

std::wstring ListToCommaText(const std::vector<std::wstring>& items) {
  std::wstring text;
  for (const auto& item : items) {
    if (!text.empty()) text += L',';
    text += QuoteIfNeeded(item, L", \"");
  }
  return text;
}

std::wstring QuoteIfNeeded(std::wstring_view s, std::wstring_view chars) {
  if (s.empty()) return {};
  if (!chars.empty() && s.find_first_of(chars) == std::wstring_view::npos) return std::wstring(s);
  std::wstring r = L"\"";
  for (wchar_t c : s) {
    r += c;
    if (c == L'"') r += c;
  }
  return r + L"\"";
}

bool MatchOption(std::wstring_view name, std::wstring_view keyword) {
  if (name.size() > keyword.size()) return false;
  return AnsiLowerCase(name) == keyword.substr(0, name.size());
}

bool MatchOptionValue(std::wstring& arg, std::wstring_view keyword) {
  size_t colon = arg.find(L':');
  if (colon == std::wstring::npos) return false;
  if (!MatchOption(std::wstring_view(arg).substr(0, colon), keyword)) return false;
  arg.erase(0, colon + 1);
  return true;
}

std::wstring FormatCountText(std::wstring_view zeroText, std::wstring_view oneText, std::wstring_view pattern,
                             int count, bool thousands) {
  if (count == 1) return std::wstring(oneText);
  if (count == 0 && !zeroText.empty()) return std::wstring(zeroText);
  if (thousands && count >= 10000) {
    std::wstring p(pattern);
    for (size_t i = p.find(L"%u"); i != std::wstring::npos; i = p.find(L"%u", i + 4)) p.replace(i, 2, L"%.0n");
    return SafeFormat(p, static_cast<double>(count));
  }
  return SafeFormat(pattern, count);
}

}  // namespace hv
