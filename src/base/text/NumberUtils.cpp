#include "base/text/NumberUtils.h"

#include <cmath>

#include "base/text/ExtSysUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

std::wstring GroupText(std::wstring_view s, int group) {
  std::wstring r(s);
  if (group <= 0) return r;
  for (ptrdiff_t i = static_cast<ptrdiff_t>(r.size()) - group; i > 0; i -= group) r.insert(static_cast<size_t>(i), 1, L' ');
  return r;
}

std::wstring IntToStrZero(int64_t value, int digits) {
  uint64_t mag = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::wstring s = std::to_wstring(mag);
  if (digits > 0 && s.size() < static_cast<size_t>(digits)) s.insert(0, digits - s.size(), L'0');
  return value < 0 ? L"-" + s : s;
}

std::wstring IntToStrGrouped(int64_t value, uint16_t width, int group, bool zeroPad) {
  std::wstring s;
  if (zeroPad) {
    s = IntToStrZero(value, width);
  } else {
    s = std::to_wstring(value);
    if (width > 0 && s.size() < width) s.insert(0, width - s.size(), L' ');
  }
  return GroupText(s, group);
}

namespace {

std::wstring BaseDigits(uint32_t value, unsigned base, int digits) {
  std::wstring s;
  do {
    s.insert(s.begin(), L"0123456789ABCDEF"[value % base]);
    value /= base;
  } while (value);
  if (digits > 0 && s.size() < static_cast<size_t>(digits)) s.insert(0, digits - s.size(), L'0');
  return s;
}

// Octal and binary: optional "-", then the prefix, then digits of the base; blanks anywhere.
bool TryBaseStrToInt(std::wstring_view text, wchar_t prefix, unsigned base, int64_t& value) {
  if (text.empty()) return false;
  std::wstring s(text);
  bool neg = false;
  if (s[0] == L'-') {
    neg = true;
    s.erase(0, 1);
  }
  if (!s.empty() && s[0] == prefix) s.erase(0, 1);
  s = RemoveSpaces(s);
  uint64_t v = 0;
  for (wchar_t c : s) {
    if (c < L'0' || c >= static_cast<wchar_t>(L'0' + base)) return false;
    v = v * base + (c - L'0');
  }
  value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

int64_t OrRaise(bool ok, int64_t value, const wchar_t* pattern, std::wstring_view s) {
  if (!ok) throw EConvertError(SafeFormat(_(pattern), s));
  return value;
}

}  // namespace

std::wstring IntToHexGrouped(uint32_t value, int digits, int group) { return GroupText(BaseDigits(value, 16, digits), group); }
std::wstring IntToOctGrouped(uint32_t value, int digits, int group) { return GroupText(BaseDigits(value, 8, digits), group); }
std::wstring IntToBinGrouped(uint32_t value, int digits, int group) { return GroupText(BaseDigits(value, 2, digits), group); }

bool TryHexStrToInt(std::wstring_view text, int64_t& value) {
  value = 0;
  if (text.empty()) return false;
  std::wstring s(text);
  bool neg = false;
  if (s[0] == L'-') {
    neg = true;
    s.erase(0, 1);
  }
  if (!s.empty() && s[0] != L'$') s.insert(s.begin(), L'$');
  s = RemoveSpaces(s);
  // Only "$" and hexadecimal digits may reach the general conversion.
  if (s.size() < 2 || s.find_first_not_of(L"0123456789abcdefABCDEF", 1) != std::wstring::npos) return false;
  int64_t v;
  if (!TryStrToInt64(s, v)) return false;
  value = neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : v;
  return true;
}

bool TryOctStrToInt(std::wstring_view s, int64_t& value) { return TryBaseStrToInt(s, L'%', 8, value); }
bool TryBinStrToInt(std::wstring_view s, int64_t& value) { return TryBaseStrToInt(s, L'!', 2, value); }

int64_t HexStrToInt(std::wstring_view s) {
  int64_t v = 0;
  bool ok = TryHexStrToInt(s, v);
  return OrRaise(ok, v, L"%s is not a valid hex value", s);
}

int64_t OctStrToInt(std::wstring_view s) {
  int64_t v = 0;
  bool ok = TryOctStrToInt(s, v);
  return OrRaise(ok, v, L"%s is not a valid octal value", s);
}

int64_t BinStrToInt(std::wstring_view s) {
  int64_t v = 0;
  bool ok = TryBinStrToInt(s, v);
  return OrRaise(ok, v, L"%s is not a valid binary value", s);
}

std::wstring SizeToStr(int64_t size, bool decimal, bool trimZeros, wchar_t decSep) {
  const double base = decimal ? 1000.0 : 1024.0;
  if (size < static_cast<int64_t>(base)) return std::to_wstring(size) + L" B";

  static const wchar_t* const units[2][3] = {{L"KiB", L"MiB", L"GiB"}, {L"kB", L"MB", L"GB"}};
  double v = static_cast<double>(size) / base;
  int unit = 0;
  if (v >= base) {
    v /= base;
    unit = 1;
    if (v >= base) {
      v /= base;
      unit = 2;
    }
  }
  int decimals = unit == 2 ? 2 : v < 10 ? 2 : v < 100 ? 1 : 0;
  if (trimZeros && decimals > 0) {
    const double limit = decimals == 1 ? 0.1 : 0.01;
    if (std::fabs(v - std::round(v)) < limit) decimals = 0;
  }
  TFormatSettings fs = FormatSettings();
  if (decSep != L'\0') fs.DecimalSeparator = decSep;
  const TFormatArg args[] = {TFormatArg(decimals), TFormatArg(v)};
  return FormatV(L"%.*f ", args, fs) + units[decimal ? 1 : 0][unit];
}

}  // namespace hv
