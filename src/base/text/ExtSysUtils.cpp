#include "base/text/ExtSysUtils.h"

#include <windows.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

TFormatSettings& FormatSettings() {
  static TFormatSettings settings = [] {
    TFormatSettings fs;
    wchar_t buf[8];
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buf, static_cast<int>(std::size(buf))) > 1)
      fs.DecimalSeparator = buf[0];
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buf, static_cast<int>(std::size(buf))) > 1)
      fs.ThousandSeparator = buf[0];
    wchar_t symbol[32];
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SCURRENCY, symbol, static_cast<int>(std::size(symbol))) > 0)
      fs.CurrencyString = symbol;
    auto number = [](LCTYPE type, DWORD max, uint8_t& value) {
      DWORD v = 0;
      if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&v),
                          sizeof(v) / sizeof(wchar_t)) > 0 && v <= max)
        value = static_cast<uint8_t>(v);
    };
    number(LOCALE_ICURRENCY, 3, fs.CurrencyFormat);
    number(LOCALE_INEGCURR, 15, fs.NegCurrFormat);
    number(LOCALE_ICURRDIGITS, 18, fs.CurrencyDecimals);
    return fs;
  }();
  return settings;
}

namespace {

[[noreturn]] void BadFormat(std::wstring_view pattern) {
  throw EConvertError(SafeFormat(L"Format '%s' invalid or incompatible with argument", pattern));
}

std::wstring Digits(uint64_t v, unsigned base, bool upper) {
  const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring s;
  do {
    s.insert(s.begin(), digits[v % base]);
    v /= base;
  } while (v);
  return s;
}

// Fixed-point text of v with the given decimals, the decimal separator of the settings and, when
// grouped, thousand separators.
std::wstring FixedText(double v, int decimals, bool grouped, const TFormatSettings& fs) {
  if (std::isnan(v)) return L"NAN";
  if (std::isinf(v)) return v < 0 ? L"-INF" : L"INF";
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::wstring s(buf, buf + std::strlen(buf));
  bool neg = !s.empty() && s[0] == L'-';
  if (neg) s.erase(0, 1);
  size_t dot = s.find(L'.');
  std::wstring intPart = s.substr(0, dot);
  std::wstring frac = dot == std::wstring::npos ? L"" : s.substr(dot + 1);
  if (grouped && fs.ThousandSeparator)
    for (ptrdiff_t i = static_cast<ptrdiff_t>(intPart.size()) - 3; i > 0; i -= 3)
      intPart.insert(static_cast<size_t>(i), 1, fs.ThousandSeparator);
  std::wstring r = (neg ? L"-" : L"") + intPart;
  if (!frac.empty()) r += fs.DecimalSeparator + frac;
  return r;
}

// Scientific and general texts: C's forms with the exponent written as in the suite's messages
// ("1.5E+003" for %e, "1.5E20" for %g) and the locale's decimal separator.
std::wstring FloatText(double v, wchar_t type, int precision, const TFormatSettings& fs) {
  if (std::isnan(v)) return L"NAN";
  if (std::isinf(v)) return v < 0 ? L"-INF" : L"INF";
  char buf[400];
  if (type == L'e') {
    std::snprintf(buf, sizeof buf, "%.*E", precision < 1 ? 0 : precision - 1, v);
  } else {
    std::snprintf(buf, sizeof buf, "%.*G", precision, v);
  }
  std::wstring s(buf, buf + std::strlen(buf));
  size_t e = s.find(L'E');
  if (e != std::wstring::npos) {
    std::wstring mant = s.substr(0, e);
    wchar_t sign = s[e + 1];
    std::wstring exp = s.substr(e + 2);
    while (exp.size() > 1 && exp[0] == L'0') exp.erase(0, 1);
    if (type == L'e') {
      while (exp.size() < 3) exp.insert(exp.begin(), L'0');
      s = mant + L"E" + sign + exp;
    } else {
      s = mant + L"E" + (sign == L'-' ? L"-" : L"") + exp;
    }
  }
  for (auto& c : s)
    if (c == L'.') c = fs.DecimalSeparator;
  return s;
}

// An amount of money: the grouped number placed with the currency symbol as the settings say.
std::wstring CurrencyText(double v, int decimals, const TFormatSettings& fs) {
  static const wchar_t* const positive[] = {L"$1", L"1$", L"$ 1", L"1 $"};
  static const wchar_t* const negative[] = {L"($1)", L"-$1", L"$-1", L"$1-", L"(1$)", L"-1$", L"1-$", L"1$-",
                                            L"-1 $", L"-$ 1", L"1 $-", L"$ 1-", L"$ -1", L"1- $", L"($ 1)", L"(1 $)"};
  if (std::isnan(v) || std::isinf(v)) return FixedText(v, decimals, true, fs);
  std::wstring number = FixedText(std::fabs(v), decimals, true, fs);
  const bool neg = v < 0 && number.find_first_of(L"123456789") != std::wstring::npos;
  std::wstring r;
  for (const wchar_t* t = neg ? negative[fs.NegCurrFormat % 16] : positive[fs.CurrencyFormat % 4]; *t; ++t) {
    if (*t == L'$') r += fs.CurrencyString;
    else if (*t == L'1') r += number;
    else r += *t;
  }
  return r;
}

}  // namespace

std::wstring FormatErrorText(std::wstring_view pattern) noexcept {
  try {
    return _(L"Format error: ") + std::wstring(pattern);
  } catch (...) {
    return std::wstring();
  }
}

std::wstring FormatV(std::wstring_view pattern, std::span<const TFormatArg> args) {
  return FormatV(pattern, args, FormatSettings());
}

std::wstring FormatV(std::wstring_view pattern, std::span<const TFormatArg> args, const TFormatSettings& fs) {
  std::wstring out;
  size_t next = 0;
  size_t i = 0;
  const size_t n = pattern.size();
  auto takeArg = [&]() -> const TFormatArg& {
    if (next >= args.size()) BadFormat(pattern);
    return args[next++];
  };
  // A number of the specifier, or "*" for one from the arguments; -1 when absent or negative.
  // Widths and precisions beyond kMaxNumber are refused rather than allocated.
  constexpr int64_t kMaxNumber = 100000;
  auto readNumber = [&]() -> int {
    int64_t v = 0;
    if (i < n && pattern[i] == L'*') {
      ++i;
      const TFormatArg& a = takeArg();
      if (a.GetKind() != TFormatArg::Kind::Int32 && a.GetKind() != TFormatArg::Kind::Int64) BadFormat(pattern);
      v = a.Int();
      if (v < 0) return -1;
    } else {
      if (i >= n || pattern[i] < L'0' || pattern[i] > L'9') return -1;
      while (i < n && pattern[i] >= L'0' && pattern[i] <= L'9' && v <= kMaxNumber) v = v * 10 + (pattern[i++] - L'0');
    }
    if (v > kMaxNumber) BadFormat(pattern);
    return static_cast<int>(v);
  };

  while (i < n) {
    wchar_t c = pattern[i++];
    if (c != L'%') {
      out += c;
      continue;
    }
    if (i >= n) BadFormat(pattern);
    if (pattern[i] == L'%') {
      out += L'%';
      ++i;
      continue;
    }
    // [index ":"] ["-"] [width]: a leading number is the index when ":" follows, else the width.
    const size_t numberStart = i;
    int number = readNumber();
    bool haveWidth = i != numberStart;
    if (i < n && pattern[i] == L':') {
      ++i;
      next = static_cast<size_t>(std::max(number, 0));
      haveWidth = false;
    }
    bool left = false;
    if (!haveWidth && i < n && pattern[i] == L'-') {
      left = true;
      ++i;
    }
    int width = haveWidth ? number : readNumber();
    int precision = -1;
    if (i < n && pattern[i] == L'.') {
      ++i;
      const bool fromArg = i < n && pattern[i] == L'*';
      precision = readNumber();
      if (precision < 0 && !fromArg) precision = 0;  // "." without digits; a negative "*" means none
    }
    if (i >= n) BadFormat(pattern);
    wchar_t type = pattern[i++];
    if (type >= L'A' && type <= L'Z') type = static_cast<wchar_t>(type - L'A' + L'a');

    const TFormatArg& a = takeArg();
    using K = TFormatArg::Kind;
    const bool isInt = a.GetKind() == K::Int32 || a.GetKind() == K::Int64 || a.GetKind() == K::UInt64;
    std::wstring text;
    switch (type) {
      case L'd':
      case L'u': {
        if (!isInt) BadFormat(pattern);
        bool neg = false;
        uint64_t mag;
        if (a.GetKind() == K::UInt64) {
          mag = static_cast<uint64_t>(a.Int());
        } else if (type == L'u' && a.Int() < 0) {
          mag = a.GetKind() == K::Int32 ? static_cast<uint32_t>(a.Int()) : static_cast<uint64_t>(a.Int());
        } else {
          neg = a.Int() < 0;
          mag = neg ? 0 - static_cast<uint64_t>(a.Int()) : static_cast<uint64_t>(a.Int());
        }
        text = Digits(mag, 10, true);
        if (precision > 0 && text.size() < static_cast<size_t>(precision)) text.insert(0, precision - text.size(), L'0');
        if (neg) text.insert(text.begin(), L'-');
        break;
      }
      case L'x': {
        if (!isInt) BadFormat(pattern);
        uint64_t v = a.GetKind() == K::Int32 ? static_cast<uint32_t>(a.Int()) : static_cast<uint64_t>(a.Int());
        text = Digits(v, 16, true);
        if (precision > 0 && text.size() < static_cast<size_t>(precision)) text.insert(0, precision - text.size(), L'0');
        break;
      }
      case L'e':
      case L'f':
      case L'g':
      case L'n':
      case L'm': {
        if (a.GetKind() != K::Float) BadFormat(pattern);
        if (type == L'm')
          text = CurrencyText(a.Float(), precision < 0 ? fs.CurrencyDecimals : std::min(precision, 18), fs);
        else if (type == L'f' || type == L'n')
          text = FixedText(a.Float(), precision < 0 ? 2 : std::min(precision, 18), type == L'n', fs);
        else
          text = FloatText(a.Float(), type, precision < 0 || precision > 18 ? 15 : std::max(precision, 1), fs);
        break;
      }
      case L'p': {
        if (a.GetKind() != K::Pointer) BadFormat(pattern);
        text = Digits(static_cast<uint64_t>(a.Int()), 16, true);
        text.insert(0, 16 - std::min<size_t>(16, text.size()), L'0');
        break;
      }
      case L's': {
        if (a.GetKind() != K::String && a.GetKind() != K::Char) BadFormat(pattern);
        text = a.Str();
        if (precision >= 0 && text.size() > static_cast<size_t>(precision)) text.resize(precision);
        break;
      }
      default: BadFormat(pattern);
    }
    if (width > 0 && text.size() < static_cast<size_t>(width)) {
      if (left)
        text.append(width - text.size(), L' ');
      else
        text.insert(0, width - text.size(), L' ');
    }
    out += text;
  }
  return out;
}

std::wstring SafeFormatV(std::wstring_view pattern, std::span<const TFormatArg> args) noexcept {
  try {
    return FormatV(pattern, args);
  } catch (...) {
    return FormatErrorText(pattern);
  }
}

}  // namespace hv
